#include "JsonTextWriter.h"

#include <array>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

namespace quill::cli {
namespace {

constexpr size_t kFlushAt = 64 * 1024;

// How each ASCII byte is written inside a string: 0 as is, 'u' as \u00XX, else the letter
// after the backslash.
constexpr std::array<char, 128> MakeEscapes() {
  std::array<char, 128> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = 'u';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  table['"'] = '"';
  table['\\'] = '\\';
  return table;
}
constexpr std::array<char, 128> kEscapes = MakeEscapes();

}  // namespace

JsonTextWriter::JsonTextWriter(std::FILE* out) : out_(out) { buffer_.reserve(kFlushAt + 4096); }

JsonTextWriter::~JsonTextWriter() { Flush(); }

void JsonTextWriter::Append(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= kFlushAt) Flush();
}

void JsonTextWriter::Flush() {
  if (buffer_.empty()) return;
  if (!failed_ && std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) {
    failed_ = true;
  }
  buffer_.clear();
}

void JsonTextWriter::Indent(size_t depth) { buffer_.append(depth * 2, ' '); }

void JsonTextWriter::BeforeItem() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  buffer_.append(level.empty ? "\n" : ",\n");
  level.empty = false;
  Indent(levels_.size());
}

void JsonTextWriter::BeginObject() {
  BeforeItem();
  buffer_.push_back('{');
  levels_.push_back({true, true});
}

void JsonTextWriter::BeginArray() {
  BeforeItem();
  buffer_.push_back('[');
  levels_.push_back({false, true});
}

void JsonTextWriter::Close(char bracket) {
  const bool empty = levels_.back().empty;
  levels_.pop_back();
  if (!empty) {
    buffer_.push_back('\n');
    Indent(levels_.size());
  }
  buffer_.push_back(bracket);
  if (buffer_.size() >= kFlushAt) Flush();
}

void JsonTextWriter::EndObject() { Close('}'); }

void JsonTextWriter::EndArray() { Close(']'); }

void JsonTextWriter::Key(std::string_view name) {
  BeforeItem();
  buffer_.push_back('"');
  buffer_.append(name);
  buffer_.append("\": ");
  afterKey_ = true;
}

void JsonTextWriter::String(std::string_view text) {
  BeforeItem();
  for (unsigned char c : text) {
    if (c >= 0x80) {
      // Text beyond ASCII: nlohmann's own serializer decides what is valid UTF-8 and what is
      // replaced, so the bytes match its output exactly.
      Append(nlohmann::ordered_json(std::string(text))
                 .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
      return;
    }
  }
  buffer_.push_back('"');
  size_t plain = 0;  // start of the run of bytes written as they are
  for (size_t i = 0; i < text.size(); ++i) {
    const char escape = kEscapes[static_cast<unsigned char>(text[i])];
    if (escape == 0) continue;
    buffer_.append(text.substr(plain, i - plain));
    plain = i + 1;
    if (escape == 'u') {
      static constexpr char kHex[] = "0123456789abcdef";
      const auto c = static_cast<unsigned char>(text[i]);
      const char code[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
      buffer_.append(code, sizeof code);
    } else {
      buffer_.push_back('\\');
      buffer_.push_back(escape);
    }
  }
  buffer_.append(text.substr(plain));
  buffer_.push_back('"');
  if (buffer_.size() >= kFlushAt) Flush();
}

void JsonTextWriter::TextOrNull(const char* text) {
  if (text == nullptr) {
    Null();
  } else {
    String(text);
  }
}

void JsonTextWriter::Null() {
  BeforeItem();
  buffer_.append("null");
}

void JsonTextWriter::Bool(bool value) {
  BeforeItem();
  buffer_.append(value ? "true" : "false");
}

void JsonTextWriter::Integer(long long value) {
  BeforeItem();
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  buffer_.append(digits, end);
}

void JsonTextWriter::Double(double value) {
  BeforeItem();
  // nlohmann's shortest-digits form (1.0, 0.5, 1e+20), written by nlohmann itself so the text is
  // the same; doubles are few in a tree.
  buffer_.append(nlohmann::ordered_json(value).dump());
}

bool JsonTextWriter::Finish(bool newline) {
  if (newline) buffer_.push_back('\n');
  Flush();
  if (!failed_ && std::fflush(out_) != 0) failed_ = true;
  return !failed_;
}

}  // namespace quill::cli
