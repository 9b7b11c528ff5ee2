#include "platform/TextEncoding.h"

#include <cerrno>
#include <vector>

namespace quill {
namespace {

struct EncodingSettings {
  TextEncodingId application = kEncodingUTF8;
  TextEncodingId system = kEncodingUTF8;
};

EncodingSettings& settings() {
  static EncodingSettings s;
  return s;
}

}  // namespace

const char* TextEncoding::IconvName(TextEncodingId encoding) {
  switch (encoding) {
    case kEncodingMacRoman: return "MACINTOSH";
    case kEncodingMacJapanese: return "SHIFT_JIS";
    case kEncodingUnicode: return "UTF-16LE";
    case kEncodingISOLatin1: return "ISO-8859-1";
    case kEncodingISOLatin2: return "ISO-8859-2";
    case kEncodingISOLatin5: return "ISO-8859-9";
    case kEncodingISOLatin9: return "ISO-8859-15";
    case kEncodingWindowsLatin1: return "CP1252";
    case kEncodingGBK: return "GBK";
    case kEncodingShiftJIS: return "SHIFT_JIS";
    case kEncodingUTF8: return "UTF-8";
    default: return nullptr;
  }
}

std::optional<std::string> TextEncoding::Convert(std::string_view text, TextEncodingId from,
                                                 TextEncodingId to) {
  EncodingConverter converter(from, to);
  if (!converter.Valid()) return std::nullopt;
  std::string result;
  std::vector<char> area(text.size() * 4 + 16);
  const char* in = text.data();
  size_t in_left = text.size();
  for (;;) {
    char* out = area.data();
    size_t out_left = area.size();
    auto status = converter.Convert(&in, &in_left, &out, &out_left);
    if (status == EncodingConverter::Result::kDone) {
      status = converter.Flush(&out, &out_left);
    }
    result.append(area.data(), out - area.data());
    if (status == EncodingConverter::Result::kDone) return result;
    if (status != EncodingConverter::Result::kOutputFull) return std::nullopt;
  }
}

bool TextEncoding::IsValidUTF8(std::string_view text) {
  return Convert(text, kEncodingUTF8, kEncodingUTF8).has_value();
}

TextEncodingId TextEncoding::ApplicationEncoding() { return settings().application; }
void TextEncoding::SetApplicationEncoding(TextEncodingId e) { settings().application = e; }
TextEncodingId TextEncoding::SystemEncoding() { return settings().system; }
void TextEncoding::SetSystemEncoding(TextEncodingId e) { settings().system = e; }
void TextEncoding::Reset() { settings() = EncodingSettings{}; }

EncodingConverter::EncodingConverter(TextEncodingId from, TextEncodingId to)
    : cd_(reinterpret_cast<iconv_t>(-1)) {
  const char* from_name = TextEncoding::IconvName(from);
  const char* to_name = TextEncoding::IconvName(to);
  if (from_name != nullptr && to_name != nullptr) cd_ = iconv_open(to_name, from_name);
}

EncodingConverter::~EncodingConverter() {
  if (Valid()) iconv_close(cd_);
}

EncodingConverter::Result EncodingConverter::Convert(const char** in, size_t* in_left, char** out,
                                                     size_t* out_left) {
  if (!Valid()) return Result::kFailed;
  size_t rc = iconv(cd_, const_cast<char**>(in), in_left, out, out_left);
  if (rc != static_cast<size_t>(-1)) return Result::kDone;
  switch (errno) {
    case E2BIG: return Result::kOutputFull;
    case EILSEQ:
    case EINVAL: return Result::kInvalidInput;
    default: return Result::kFailed;
  }
}

EncodingConverter::Result EncodingConverter::Flush(char** out, size_t* out_left) {
  if (!Valid()) return Result::kFailed;
  if (iconv(cd_, nullptr, nullptr, out, out_left) != static_cast<size_t>(-1)) return Result::kDone;
  return errno == E2BIG ? Result::kOutputFull : Result::kFailed;
}

void EncodingConverter::Clear() {
  if (Valid()) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace quill
