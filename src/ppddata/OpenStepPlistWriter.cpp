// Building OpenStepPlist values and writing them back as old-style property-list text.
#include <cstdio>

#include "ppddata/OpenStepPlist.h"

namespace quill {
namespace {

bool IsPlainChar(char c) {
  // The reader's unquoted characters, without '/': an unquoted value starting with "//" or "/*"
  // would read as a comment.
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == ':' || c == '.' || c == '-';
}

void WriteString(std::string& out, const std::string& text) {
  bool plain = !text.empty();
  for (char c : text) {
    if (!IsPlainChar(c)) {
      plain = false;
      break;
    }
  }
  if (plain) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\a':
        out += "\\a";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\v':
        out += "\\v";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          // Always three digits, so that a digit after it is not taken into the escape.
          char octal[8];
          std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(c));
          out += octal;
        } else {
          out += c;  // bytes above 127 stay as they are (the reader keeps them)
        }
    }
  }
  out += '"';
}

void Indent(std::string& out, int depth) { out.append(static_cast<std::size_t>(depth) * 4, ' '); }

}  // namespace

OpenStepPlist OpenStepPlist::MakeArray() { return OpenStepPlist(Type::kArray); }
OpenStepPlist OpenStepPlist::MakeDictionary() { return OpenStepPlist(Type::kDictionary); }

bool OpenStepPlist::Set(std::string key, OpenStepPlist value) {
  if (type_ != Type::kDictionary) return false;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) {
      values_[i] = std::move(value);
      return true;
    }
  }
  keys_.push_back(std::move(key));
  values_.push_back(std::move(value));
  return true;
}

bool OpenStepPlist::Append(OpenStepPlist value) {
  if (type_ != Type::kArray) return false;
  values_.push_back(std::move(value));
  return true;
}

std::string OpenStepPlist::ToText() const {
  // Iterative over an explicit stack would be needed only beyond kMaxDepth, which the reader
  // refuses; values built here are written recursively.
  struct Writer {
    static void Value(std::string& out, const OpenStepPlist& value, int depth) {
      switch (value.type_) {
        case Type::kString:
          WriteString(out, value.string_);
          return;
        case Type::kArray:
          if (value.values_.empty()) {
            out += "()";
            return;
          }
          out += "(\n";
          for (std::size_t i = 0; i < value.values_.size(); ++i) {
            Indent(out, depth + 1);
            Value(out, value.values_[i], depth + 1);
            out += i + 1 < value.values_.size() ? ",\n" : "\n";
          }
          Indent(out, depth);
          out += ')';
          return;
        case Type::kDictionary:
          if (value.keys_.empty()) {
            out += "{}";
            return;
          }
          out += "{\n";
          for (std::size_t i = 0; i < value.keys_.size(); ++i) {
            Indent(out, depth + 1);
            WriteString(out, value.keys_[i]);
            out += " = ";
            Value(out, value.values_[i], depth + 1);
            out += ";\n";
          }
          Indent(out, depth);
          out += '}';
          return;
      }
    }
  };
  std::string out;
  Writer::Value(out, *this, 0);
  return out;
}

bool operator==(const OpenStepPlist& a, const OpenStepPlist& b) {
  return a.type_ == b.type_ && a.string_ == b.string_ && a.keys_ == b.keys_ &&
         a.values_ == b.values_;
}

}  // namespace quill
