// The PostScript side of PPDXControl: the feature block every control's PostScript writes, and
// the substitution of a value into a control's code template.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "platform/TextEncoding.h"

namespace {

constexpr std::string_view kBeginFeature = "%%BeginFeature: ";
constexpr std::string_view kEndFeature = "%%EndFeature\n";

// Keywords whose job-note value goes into the code as it is, never as a hex string.
constexpr const char* kPlainValueKeywords[] = {"*KRDSFileName", "*KRDSPassword", "*KRDSUserName"};

void replace_all(std::string& text, std::string_view what, std::string_view with) {
  if (what.empty()) return;
  std::string result;
  result.reserve(text.size());
  size_t from = 0;
  for (size_t at; (at = text.find(what, from)) != std::string::npos; from = at + what.size()) {
    result.append(text, from, at - from);
    result.append(with);
  }
  result.append(text, from, std::string::npos);
  text = std::move(result);
}

std::string hex_string(std::string_view value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex = "<";
  for (unsigned char byte : value) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  hex += '>';
  return hex;
}

// A value put into a PostScript string as it is: balanced parentheses are part of the string,
// but one without its partner would end the string (or leave it open) and let the rest of the
// value run as code. Those are written as "\(" and "\)". Backslashes are already doubled here,
// so no parenthesis of the value is escaped yet.
std::string escape_unbalanced_parentheses(std::string_view value) {
  std::vector<bool> escape(value.size(), false);
  std::vector<size_t> open;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '(') {
      open.push_back(i);
    } else if (value[i] == ')') {
      if (open.empty()) {
        escape[i] = true;
      } else {
        open.pop_back();
      }
    }
  }
  for (size_t at : open) escape[at] = true;
  std::string out;
  out.reserve(value.size() + 2);
  for (size_t i = 0; i < value.size(); ++i) {
    if (escape[i]) out += '\\';
    out += value[i];
  }
  return out;
}

// Control characters (below 0x20, and DEL) as three-digit octal escapes: a line end in a value
// would end the comment line or the code line it stands in. Inside a PostScript string the escape
// reads back as the character itself.
std::string escape_control_characters(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (unsigned char c : value) {
    if (c < 0x20 || c == 0x7F) {
      out += '\\';
      out += static_cast<char>('0' + ((c >> 6) & 7));
      out += static_cast<char>('0' + ((c >> 3) & 7));
      out += static_cast<char>('0' + (c & 7));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool is_plain_value_keyword(char const* name) {
  for (const char* keyword : kPlainValueKeywords) {
    if (std::strcmp(name, keyword) == 0) return true;
  }
  return false;
}

}  // namespace

long PPDXControl::GeneratePSOutputData(unsigned char* out, const unsigned char* code,
                                       long codeLength, char const* choiceText,
                                       bool wrap) const {
  const std::string_view keyword = Keyword() ? Keyword() : "";
  // The choice text ends the comment line; a control character in it (a job note's text, a
  // profile name) is written as an escape so that it cannot end the line early.
  std::string_view choice = choiceText ? choiceText : "";
  std::string escaped_choice;
  if (std::any_of(choice.begin(), choice.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
    escaped_choice = escape_control_characters(choice);
    choice = escaped_choice;
  }
  const bool has_code = code != nullptr && codeLength > 0;
  const std::string_view body =
      has_code ? std::string_view(reinterpret_cast<const char*>(code), codeLength) : "\n";

  // The count always matches what is written, so callers can size their buffer with it.
  long total = static_cast<long>(body.size());
  if (wrap) {
    total += static_cast<long>(kBeginFeature.size() + keyword.size() + 1 + choice.size() + 1 +
                               kEndFeature.size());
  }
  if (out == nullptr) return total;

  char* at = reinterpret_cast<char*>(out);
  auto put = [&at](std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    at += text.size();
  };
  if (wrap) {
    put(kBeginFeature);
    put(keyword);
    put(" ");
    put(choice);
    put("\n");
  }
  put(body);
  if (wrap) put(kEndFeature);
  return total;
}

long PPDXControl::Inject(char const* name, const unsigned char* code, long codeLength,
                         char const* value, unsigned char*& out) const {
  out = nullptr;
  if (name == nullptr || code == nullptr || codeLength <= 0) return 0;

  const std::string placeholder = std::string("<") + name + ">";
  const bool comment_mode = codeLength >= 2 && code[0] == '%' && code[1] == '%';
  std::string text_value = value ? value : "";
  const bool hex_mode = Type() == kJobNoteControl && !text_value.empty() && !comment_mode &&
                        !is_plain_value_keyword(name);
  if (hex_mode) text_value = hex_string(text_value);
  if (!comment_mode) replace_all(text_value, "\\", "\\\\");
  if (!comment_mode && !hex_mode) text_value = escape_unbalanced_parentheses(text_value);
  if (!hex_mode) text_value = escape_control_characters(text_value);

  std::string result(reinterpret_cast<const char*>(code), static_cast<size_t>(codeLength));
  replace_all(result, placeholder, text_value);
  // A placeholder written inside a PostScript string becomes the hex string itself.
  if (hex_mode) replace_all(result, "(" + text_value + ")", text_value);

  // The job takes Mac Roman. Text that is not UTF-8, or has characters Mac Roman lacks, is kept
  // byte for byte rather than lost.
  if (auto mac = quill::TextEncoding::Convert(result, quill::kEncodingUTF8,
                                              quill::kEncodingMacRoman)) {
    result = std::move(*mac);
  }

  out = static_cast<unsigned char*>(std::malloc(result.size() + 1));
  if (out == nullptr) return 0;
  std::memcpy(out, result.data(), result.size());
  out[result.size()] = '\0';
  return static_cast<long>(result.size());
}

// Every occurrence is escaped: one left as it is could still end the PostScript string early.
char* replaceWithBackslashIfNeeded(char const* token, char* text) {
  if (token == nullptr || text == nullptr || token[0] == '\0') return text;
  if (std::strstr(text, token) == nullptr) return text;
  std::string result(text);
  replace_all(result, token, std::strcmp(token, "(") == 0 ? "\\050" : "\\051");
  char* copy = static_cast<char*>(std::malloc(result.size() + 1));
  if (copy == nullptr) return text;
  std::memcpy(copy, result.c_str(), result.size() + 1);
  std::free(text);
  return copy;
}
