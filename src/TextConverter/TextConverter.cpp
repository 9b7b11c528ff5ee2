#include "TextConverter/TextConverter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "foundation/CStringUtils.h"
#include "foundation/ProcessGlobals.h"

using quill::EncodingConverter;
using quill::TextEncoding;

namespace {

// Smallest output area of a conversion round.
constexpr size_t kMinOutputArea = 32;
// What a byte that cannot be read becomes in a display string.
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool IsHexSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Decodes the hex substrings of `text` into `out` (text.size() + 1 bytes) and NUL-terminates it.
// Returns the bytes written, NUL included. A decoded bracket never yields more bytes than it
// spans, so the output never outgrows the input.
size_t Dehex(std::string_view text, char* out) {
  size_t written = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '<') {
      out[written++] = text[i++];
      continue;
    }
    const size_t close = text.find('>', i + 1);
    if (close == std::string_view::npos) break;
    const size_t bracket_start = written;
    int high = -1;
    bool malformed = false;
    for (size_t j = i + 1; j < close && !malformed; ++j) {
      const auto c = static_cast<unsigned char>(text[j]);
      if (IsHexSpace(c)) continue;
      const int value = HexDigitValue(static_cast<char>(c));
      if (value < 0) {
        malformed = true;
      } else if (high < 0) {
        high = value;
      } else {
        out[written++] = static_cast<char>((high << 4) | value);
        high = -1;
      }
    }
    if (malformed || high >= 0) {
      written = bracket_start;
      break;
    }
    i = close + 1;
  }
  // Whatever decoding did not consume (a malformed or unclosed bracket onwards) stays as it is.
  std::memcpy(out + written, text.data() + i, text.size() - i);
  written += text.size() - i;
  out[written++] = '\0';
  return written;
}

// Reads `bytes` in `from` as UTF-8; a byte that cannot be read becomes U+FFFD, so the result is
// always valid UTF-8.
std::string LenientToUTF8(std::string_view bytes, quill::TextEncodingId from) {
  std::string result;
  EncodingConverter converter(from, quill::kEncodingUTF8);
  if (!converter.Valid()) {
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        result += c;
      } else {
        result += kReplacementCharacter;
      }
    }
    return result;
  }
  char area[256];
  const char* in = bytes.data();
  size_t in_left = bytes.size();
  for (;;) {
    char* out = area;
    size_t out_left = sizeof area;
    const auto status = converter.Convert(&in, &in_left, &out, &out_left);
    result.append(area, static_cast<size_t>(out - area));
    if (status == EncodingConverter::Result::kOutputFull) continue;
    if (status == EncodingConverter::Result::kDone || in_left == 0) break;
    result += kReplacementCharacter;
    ++in;
    --in_left;
    converter.Clear();
  }
  return result;
}

bool IsDoubleByteLead(unsigned char c, quill::TextEncodingId encoding) {
  switch (encoding) {
    case quill::kEncodingShiftJIS:
    case quill::kEncodingMacJapanese:
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case quill::kEncodingGBK:
      return c >= 0x81 && c <= 0xFE;
    default:
      return false;
  }
}

// The longest prefix of `data` (text in `encoding`) of at most `limit` bytes that does not end
// inside a character, so that a cut result stays readable.
size_t CutAtCharacter(const char* data, size_t length, size_t limit,
                      quill::TextEncodingId encoding) {
  if (length <= limit) return length;
  if (encoding == quill::kEncodingUTF8) {
    size_t keep = limit;
    while (keep > 0 && (static_cast<unsigned char>(data[keep]) & 0xC0) == 0x80) --keep;
    return keep;
  }
  if (IsDoubleByteLead(0x81, encoding)) {
    size_t keep = 0;
    while (keep < length) {
      const size_t width =
          IsDoubleByteLead(static_cast<unsigned char>(data[keep]), encoding) ? 2 : 1;
      if (keep + width > limit) break;
      keep += width;
    }
    return keep;
  }
  return limit;
}

}  // namespace

const HexLanguageExceptions TextConverter::mExceptionsList;

TextConverter::TextConverter(char const* languageVersion, char const* languageEncoding,
                             unsigned int const& output)
    : source_(LanguageStringToEncoding(languageEncoding)) {
  if (source_ == quill::kEncodingUnknown) return;
  if (languageVersion != nullptr) languageVersion_ = languageVersion;
  output_ = output;
  MakeConverter(source_);
}

TextConverter::TextConverter(unsigned int& source, unsigned int const& output)
    : source_(source), output_(output) {
  MakeConverter(source_);
}

TextConverter::~TextConverter() = default;

unsigned int TextConverter::LanguageStringToEncoding(char const* name) {
  struct Entry {
    std::string_view name;
    unsigned int encoding;
  };
  static constexpr Entry kEntries[] = {
      {"ISOLatin1", quill::kEncodingISOLatin1},  {"ISOLatin2", quill::kEncodingISOLatin2},
      {"ISOLatin5", quill::kEncodingISOLatin5},  {"JIS83-RKSJ", quill::kEncodingShiftJIS},
      {"MacStandard", quill::kEncodingMacRoman}, {"WindowsANSI", quill::kEncodingWindowsLatin1},
      {"UTF-8", quill::kEncodingUTF8},
  };
  if (name == nullptr) return quill::kEncodingUnknown;
  for (const auto& entry : kEntries) {
    if (entry.name == name) return entry.encoding;
  }
  return quill::kEncodingUnknown;
}

unsigned int TextConverter::GetCurrentEncoding() { return TextEncoding::ApplicationEncoding(); }

void TextConverter::MakeConverter(unsigned int from) {
  converterSource_ = from;
  converter_ = std::make_unique<EncodingConverter>(from, output_);
  valid_ = converter_->Valid();
  status_ = valid_ ? kNoErr : kNoConversionPathErr;
}

int TextConverter::Convert(char* text, long size) {
  if (!valid_) return status_;
  if (text == nullptr || size < 1) return status_ = kParamErr;
  const size_t length = strnlen(text, static_cast<size_t>(size));
  const std::string_view original(text, length);

  // Western PPDs often declare ISOLatin1 but carry Mac Roman bytes, so their 8-bit text is read
  // as Mac Roman. A PPD that declares UTF-8 and holds valid UTF-8 means what it says.
  unsigned int from = converterSource_;
  const bool has_high_byte = std::any_of(original.begin(), original.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80;
  });
  if (has_high_byte && !mExceptionsList.IsException(languageVersion_)) {
    from = source_ == quill::kEncodingUTF8 && TextEncoding::IsValidUTF8(original)
               ? quill::kEncodingUTF8
               : quill::kEncodingMacRoman;
  }
  if (from != converterSource_) {
    MakeConverter(from);
    if (!valid_) return status_;
  }

  std::unique_ptr<char[]> decoded(new (std::nothrow) char[length + 1]);
  if (!decoded) return status_ = kMemFullErr;
  const size_t decoded_length = Dehex(original, decoded.get()) - 1;

  std::unique_ptr<char[]> result;
  size_t result_length = 0;
  status_ = ConvertInRounds(decoded.get(), decoded_length, result, result_length);
  if (status_ != kNoErr) return status_;

  const size_t keep =
      CutAtCharacter(result.get(), result_length, static_cast<size_t>(size) - 1, output_);
  std::memcpy(text, result.get(), keep);
  text[keep] = '\0';
  return status_;
}

int TextConverter::ConvertInRounds(const char* bytes, size_t length, std::unique_ptr<char[]>& area,
                                   size_t& used) {
  const size_t initial = std::max(length * 3, kMinOutputArea);
  size_t capacity = initial;
  area.reset(new (std::nothrow) char[capacity]);
  if (!area) return kMemFullErr;

  // A failed earlier conversion may have left shift state or a partial character behind.
  converter_->Clear();
  const char* in = bytes;
  size_t in_left = length;
  char* out = area.get();
  size_t out_left = capacity;
  bool flushing = false;
  for (;;) {
    const auto status = flushing ? converter_->Flush(&out, &out_left)
                                 : converter_->Convert(&in, &in_left, &out, &out_left);
    if (status == EncodingConverter::Result::kDone) {
      if (flushing) break;
      flushing = true;
      continue;
    }
    if (status != EncodingConverter::Result::kOutputFull) return kMalformedInputErr;

    const size_t filled = capacity - out_left;
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity + initial]);
    if (!grown) return kMemFullErr;
    std::memcpy(grown.get(), area.get(), filled);
    area = std::move(grown);
    capacity += initial;
    out = area.get() + filled;
    out_left = capacity - filled;
  }
  used = capacity - out_left;
  return kNoErr;
}

bool TextConverter::ToUnicode(const char* bytes, size_t length, std::string& utf8) {
  if (!toUnicode_ || toUnicodeEncoding_ != source_) {
    toUnicode_ = std::make_unique<EncodingConverter>(source_, quill::kEncodingUTF8);
    toUnicodeEncoding_ = source_;
  }
  if (!toUnicode_->Valid()) return false;
  // Every character of these encodings takes at most 3 UTF-8 bytes per source byte.
  const size_t capacity = std::max<size_t>(length * 4, 1);
  std::unique_ptr<char[]> area(new (std::nothrow) char[capacity]);
  if (!area) return false;

  toUnicode_->Clear();
  const char* in = bytes;
  size_t in_left = length;
  char* out = area.get();
  size_t out_left = capacity;
  auto status = toUnicode_->Convert(&in, &in_left, &out, &out_left);
  if (status == EncodingConverter::Result::kDone) status = toUnicode_->Flush(&out, &out_left);
  if (status != EncodingConverter::Result::kDone) return false;
  utf8.assign(area.get(), capacity - out_left);
  return true;
}

std::string TextConverter::ConvertToCFString(char const* text, long length) {
  if (text == nullptr) return {};
  const size_t size = strnlen(text, length > 0 ? static_cast<size_t>(length) : 0);
  // Most translations are plain ASCII without hex substrings: every source encoding but
  // Shift-JIS (which has its own 0x5C and 0x7E) reads them unchanged.
  if (source_ != quill::kEncodingShiftJIS &&
      std::all_of(text, text + size, [](char c) { return c != '<' && (c & 0x80) == 0; })) {
    return std::string(text, size);
  }
  std::unique_ptr<char[]> decoded(new (std::nothrow) char[size + 1]);
  if (!decoded) return "Out Of Memory";
  const std::string_view bytes(decoded.get(), Dehex({text, size}, decoded.get()) - 1);

  switch (source_) {
    case quill::kEncodingMacRoman:
    case quill::kEncodingISOLatin1:
    case quill::kEncodingWindowsLatin1:
      return LenientToUTF8(bytes, source_);
    case quill::kEncodingISOLatin2:
    case quill::kEncodingISOLatin5:
    case quill::kEncodingShiftJIS: {
      std::string utf8;
      if (ToUnicode(bytes.data(), bytes.size(), utf8)) return utf8;
      return LenientToUTF8(bytes, source_);
    }
    default:
      return LenientToUTF8(bytes, quill::kEncodingUTF8);
  }
}

bool TextConverter::CFStringToCstring(const std::string& utf8, char* out, long size) {
  if (out == nullptr || size < 1) return false;
  const auto limit = static_cast<size_t>(size);
  const auto converted =
      TextEncoding::Convert(utf8, quill::kEncodingUTF8, TextEncoding::SystemEncoding());
  if (converted && converted->size() < limit) {
    std::memcpy(out, converted->data(), converted->size());
    out[converted->size()] = '\0';
    return true;
  }
  constexpr std::string_view kTranslationError = "Translation Error";
  const size_t keep = std::min(kTranslationError.size(), limit - 1);
  std::memcpy(out, kTranslationError.data(), keep);
  out[keep] = '\0';
  return false;
}

long TextConverter::DehexBufferFill(char* /*unused*/, char const* text, char* out) {
  if (out == nullptr) return 0;
  if (text == nullptr) {
    out[0] = '\0';
    return 1;
  }
  return static_cast<long>(Dehex(text, out));
}

char* macRomanToUTF8(char* text) {
  static char buffer[255];
  constexpr std::string_view kReadFailed = "[conv from MR or SJ failed]";
  constexpr std::string_view kDoesNotFit = "[MR or SJ conv to UTF8 failed]";

  std::string_view result = kReadFailed;
  std::optional<std::string> utf8;
  if (text != nullptr) {
    const auto from =
        Globals().popupJobNotesLangIsJapanese ? quill::kEncodingShiftJIS : quill::kEncodingMacRoman;
    utf8 = TextEncoding::Convert(text, from, quill::kEncodingUTF8);
    if (utf8) result = utf8->size() < sizeof buffer ? std::string_view(*utf8) : kDoesNotFit;
  }
  std::memcpy(buffer, result.data(), result.size());
  buffer[result.size()] = '\0';
  return buffer;
}

int ConvertTextFromApplicationToUTF8(char const* text, char* out) {
  if (text == nullptr || out == nullptr) return TextConverter::kParamErr;
  out[0] = '\0';
  EncodingConverter converter(TextEncoding::ApplicationEncoding(), quill::kEncodingUTF8);
  if (!converter.Valid()) return TextConverter::kNoConversionPathErr;

  const size_t length = std::strlen(text);
  const char* in = text;
  size_t in_left = length;
  char* end = out;
  // 4 bytes per input byte, one of them kept for the NUL; no character of an 8-bit or
  // double-byte encoding needs more than 3 UTF-8 bytes per source byte.
  size_t out_left = length == 0 ? 0 : length * 4 - 1;
  auto status = converter.Convert(&in, &in_left, &end, &out_left);
  if (status == EncodingConverter::Result::kDone) status = converter.Flush(&end, &out_left);
  *end = '\0';
  switch (status) {
    case EncodingConverter::Result::kDone:
      return TextConverter::kNoErr;
    case EncodingConverter::Result::kOutputFull:
      return TextConverter::kOutputFullErr;
    default:
      return TextConverter::kMalformedInputErr;
  }
}
