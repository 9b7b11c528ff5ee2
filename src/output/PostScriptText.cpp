#include "output/PostScriptText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace quill {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AppendOctal(std::string& out, unsigned char c) {
  out += '\\';
  out += static_cast<char>('0' + ((c >> 6) & 7));
  out += static_cast<char>('0' + ((c >> 3) & 7));
  out += static_cast<char>('0' + (c & 7));
}

void AppendInteger(std::string& out, long long value) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

}  // namespace

std::string PSStringText(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (unsigned char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '(') {
      out += "\\050";
    } else if (c == ')') {
      out += "\\051";
    } else if (IsControl(c)) {
      AppendOctal(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string PSCommentText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (unsigned char c : value) {
    if (IsControl(c)) {
      AppendOctal(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool HasPSControlCharacter(std::string_view value) {
  for (unsigned char c : value) {
    if (IsControl(c)) return true;
  }
  return false;
}

std::string FixedText(double value, int precision) {
  if (!std::isfinite(value)) value = 0;
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                 precision);
  if (ec != std::errc()) return "0";
  std::string text(buffer, end);
  // "-0.00" reads as zero; write it as the C library's "%f" would for +0.
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string FormatPS(std::string_view format, std::initializer_list<PSArg> args) {
  std::string out;
  out.reserve(format.size() + 64);
  auto arg = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    if (format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // Flags and width are read and dropped ("%1.2f" has a width below the number's own);
    // the precision is kept.
    size_t at = i + 1;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
    int precision = -1;
    if (at < format.size() && format[at] == '.') {
      ++at;
      precision = 0;
      while (at < format.size() && format[at] >= '0' && format[at] <= '9') {
        precision = precision * 10 + (format[at] - '0');
        ++at;
      }
    }
    if (at >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    const char conversion = format[at];
    i = at;
    if (arg == args.end()) continue;
    const PSArg& value = *arg++;
    switch (conversion) {
      case 's':
        if (const auto* text = std::get_if<std::string_view>(&value)) out.append(*text);
        break;
      case 'd':
        if (const auto* number = std::get_if<long long>(&value)) AppendInteger(out, *number);
        break;
      case 'f': {
        double number = 0;
        int digits = precision >= 0 ? precision : 6;
        if (const auto* fixed = std::get_if<PSFixed>(&value)) {
          number = fixed->value;
        } else if (const auto* integer = std::get_if<long long>(&value)) {
          number = static_cast<double>(*integer);
        }
        out += FixedText(number, digits);
        break;
      }
      default:
        break;
    }
  }
  return out;
}

}  // namespace quill
