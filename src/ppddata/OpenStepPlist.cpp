#include "ppddata/OpenStepPlist.h"

#include "foundation/CStringUtils.h"
#include "foundation/UTF8.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <utility>

namespace quill {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsUnquotedChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr char32_t kReplacementChar = 0xFFFD;

}  // namespace

// Recursive descent over the text; every read checks the position against the end first.
class OpenStepPlist::Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<OpenStepPlist> Run(std::string* error) {
    std::optional<OpenStepPlist> root;
    if (SkipSpace()) {
      if (AtEnd()) {
        Fail("no value");
      } else {
        root = ParseValue(0);
        if (root && SkipSpace() && !AtEnd()) {
          Fail("unexpected text after the value");
          root.reset();
        }
      }
    }
    if (!failed_) return root;
    if (error != nullptr) *error = message_;
    return std::nullopt;
  }

 private:
  [[nodiscard]] bool AtEnd() const { return pos_ >= text_.size(); }
  [[nodiscard]] char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  // Records the first failure with its line number; always answers false.
  bool Fail(const std::string& what) {
    if (failed_) return false;
    failed_ = true;
    std::size_t at = std::min(pos_, text_.size());
    auto line =
        1 + std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    message_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }

  // Skips white space and comments. False on an unterminated block comment.
  bool SkipSpace() {
    while (!AtEnd()) {
      char c = text_[pos_];
      if (IsSpace(c)) {
        ++pos_;
      } else if (c == '/' && Peek(1) == '/') {
        pos_ += 2;
        while (!AtEnd() && text_[pos_] != '\n' && text_[pos_] != '\r') ++pos_;
      } else if (c == '/' && Peek(1) == '*') {
        std::size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return Fail("unterminated comment");
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  std::optional<OpenStepPlist> ParseValue(int depth) {
    char c = Peek();
    if (c == '{' || c == '(') {
      if (depth >= kMaxDepth) {
        Fail("nesting deeper than " + std::to_string(kMaxDepth));
        return std::nullopt;
      }
      return c == '{' ? ParseDictionary(depth + 1) : ParseArray(depth + 1);
    }
    std::optional<std::string> text = ParseString();
    if (!text) return std::nullopt;
    return OpenStepPlist(std::move(*text));
  }

  std::optional<std::string> ParseString() {
    if (AtEnd()) {
      Fail("unexpected end of text");
      return std::nullopt;
    }
    char c = text_[pos_];
    if (c == '"' || c == '\'') return ParseQuoted(c);
    if (IsUnquotedChar(c)) {
      std::size_t start = pos_;
      while (!AtEnd() && IsUnquotedChar(text_[pos_])) ++pos_;
      return std::string(text_.substr(start, pos_ - start));
    }
    if (c == '<') {
      Fail("data values are not supported");
    } else {
      char shown[32];
      std::snprintf(shown, sizeof shown, "unexpected character 0x%02x",
                    static_cast<unsigned char>(c));
      Fail(shown);
    }
    return std::nullopt;
  }

  std::optional<std::string> ParseQuoted(char quote) {
    ++pos_;
    std::string out;
    while (!AtEnd()) {
      char c = text_[pos_++];
      if (c == quote) return out;
      if (c != '\\') {
        out += c;
      } else if (!ParseEscape(out)) {
        break;
      }
    }
    Fail("unterminated string");
    return std::nullopt;
  }

  // Reads the escape after a backslash into `out`. False at the end of the text.
  bool ParseEscape(std::string& out) {
    if (AtEnd()) return false;
    char c = text_[pos_++];
    switch (c) {
      case 'a':
        out += '\a';
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'v':
        out += '\v';
        return true;
      case 'U': {
        std::optional<char32_t> unit = ReadHexUnit();
        if (!unit) {
          out += 'U';
          return true;
        }
        char32_t cp = *unit;
        if (IsHighSurrogate(cp)) {
          // A high surrogate pairs only with a low one in the very next escape.
          std::size_t save = pos_;
          std::optional<char32_t> low;
          if (Peek() == '\\' && Peek(1) == 'U') {
            pos_ += 2;
            low = ReadHexUnit();
          }
          if (low && IsLowSurrogate(*low)) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
          } else {
            pos_ = save;
            cp = kReplacementChar;
          }
        } else if (IsLowSurrogate(cp)) {
          cp = kReplacementChar;
        }
        AppendUTF8(out, cp);
        return true;
      }
      default:
        break;
    }
    if (c >= '0' && c <= '7') {
      char32_t code = static_cast<char32_t>(c - '0');
      for (int i = 0; i < 2 && Peek() >= '0' && Peek() <= '7'; ++i) {
        code = code * 8 + static_cast<char32_t>(text_[pos_++] - '0');
      }
      AppendUTF8(out, code);
      return true;
    }
    out += c;  // \" \' \\ and any other character stand for themselves
    return true;
  }

  // Up to four hex digits; nothing when there is none.
  std::optional<char32_t> ReadHexUnit() {
    char32_t unit = 0;
    int digits = 0;
    for (; digits < 4 && !AtEnd() && HexDigitValue(text_[pos_]) >= 0; ++digits) {
      unit = unit * 16 + static_cast<char32_t>(HexDigitValue(text_[pos_++]));
    }
    if (digits == 0) return std::nullopt;
    return unit;
  }

  std::optional<OpenStepPlist> ParseDictionary(int depth) {
    ++pos_;  // '{'
    OpenStepPlist dict(Type::kDictionary);
    std::unordered_map<std::string, std::size_t> index;
    for (;;) {
      if (!SkipSpace()) return std::nullopt;
      if (AtEnd()) {
        Fail("missing '}'");
        return std::nullopt;
      }
      if (text_[pos_] == '}') {
        ++pos_;
        return dict;
      }
      if (text_[pos_] == '{' || text_[pos_] == '(') {
        Fail("dictionary key is not a string");
        return std::nullopt;
      }
      std::optional<std::string> key = ParseString();
      if (!key || !Expect('=')) return std::nullopt;
      if (!SkipSpace()) return std::nullopt;
      std::optional<OpenStepPlist> value = ParseValue(depth);
      if (!value || !Expect(';')) return std::nullopt;
      auto [it, inserted] = index.try_emplace(*key, dict.keys_.size());
      if (inserted) {
        dict.keys_.push_back(std::move(*key));
        dict.values_.push_back(std::move(*value));
      } else {
        dict.values_[it->second] = std::move(*value);
      }
    }
  }

  std::optional<OpenStepPlist> ParseArray(int depth) {
    ++pos_;  // '('
    OpenStepPlist array(Type::kArray);
    for (;;) {
      if (!SkipSpace()) return std::nullopt;
      if (AtEnd()) {
        Fail("missing ')'");
        return std::nullopt;
      }
      if (text_[pos_] == ')') {
        ++pos_;
        return array;
      }
      std::optional<OpenStepPlist> value = ParseValue(depth);
      if (!value || !SkipSpace()) return std::nullopt;
      array.values_.push_back(std::move(*value));
      if (Peek() == ',') {
        ++pos_;  // a comma before ')' is allowed
      } else if (Peek() != ')') {
        Fail("expected ',' or ')'");
        return std::nullopt;
      }
    }
  }

  // Skips space and consumes `c`.
  bool Expect(char c) {
    if (!SkipSpace()) return false;
    if (Peek() != c || AtEnd()) return Fail(std::string("expected '") + c + "'");
    ++pos_;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool failed_ = false;
  std::string message_;
};

std::optional<OpenStepPlist> OpenStepPlist::Parse(std::string_view text, std::string* error) {
  return Parser(text).Run(error);
}

const std::vector<OpenStepPlist>& OpenStepPlist::Items() const {
  static const std::vector<OpenStepPlist> kNone;
  return type_ == Type::kArray ? values_ : kNone;
}

const OpenStepPlist* OpenStepPlist::Find(std::string_view key) const {
  if (type_ != Type::kDictionary) return nullptr;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) return &values_[i];
  }
  return nullptr;
}

}  // namespace quill
