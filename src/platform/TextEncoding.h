// TextEncoding: the system's text encodings by their numbers, and conversion between them over
// glibc's iconv.
//
// Encoding numbers are the ones the PPD layer and stored data use (Mac Roman 0, ISO Latin-1 513,
// ...). The "application's text encoding" (what PPD strings are converted to for the panel) and
// the "system encoding" (what 8-bit strings made from display strings use) are settings; on Linux
// both default to UTF-8, the encoding of the desktop.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

using TextEncodingId = uint32_t;

inline constexpr TextEncodingId kEncodingMacRoman = 0;
inline constexpr TextEncodingId kEncodingMacJapanese = 1;
inline constexpr TextEncodingId kEncodingUnicode = 0x100;  // UTF-16, host order
inline constexpr TextEncodingId kEncodingISOLatin1 = 513;
inline constexpr TextEncodingId kEncodingISOLatin2 = 514;
inline constexpr TextEncodingId kEncodingISOLatin5 = 521;
inline constexpr TextEncodingId kEncodingISOLatin9 = 527;
inline constexpr TextEncodingId kEncodingWindowsLatin1 = 1280;
inline constexpr TextEncodingId kEncodingGBK = 0x631;
inline constexpr TextEncodingId kEncodingShiftJIS = 2561;
inline constexpr TextEncodingId kEncodingUTF8 = 0x08000100;
inline constexpr TextEncodingId kEncodingUnknown = 65535;

class TextEncoding {
 public:
  // iconv's name of the encoding, or nullptr for an encoding this system does not know.
  [[nodiscard]] static const char* IconvName(TextEncodingId encoding);

  // Converts the whole text; nullopt when an encoding is unknown or a byte sequence is invalid
  // in `from` or has no equivalent in `to`.
  [[nodiscard]] static std::optional<std::string> Convert(std::string_view text,
                                                          TextEncodingId from, TextEncodingId to);

  // True when `text` is well-formed UTF-8.
  [[nodiscard]] static bool IsValidUTF8(std::string_view text);

  static TextEncodingId ApplicationEncoding();
  static void SetApplicationEncoding(TextEncodingId encoding);
  static TextEncodingId SystemEncoding();
  static void SetSystemEncoding(TextEncodingId encoding);
  // Restores both settings to UTF-8.
  static void Reset();
};

// An open conversion from one encoding to another that converts in rounds, like a streaming
// converter: `Convert` fills the output area it is given and says whether it ran out of room.
class EncodingConverter {
 public:
  enum class Result { kDone, kOutputFull, kInvalidInput, kFailed };

  EncodingConverter(TextEncodingId from, TextEncodingId to);
  ~EncodingConverter();
  EncodingConverter(const EncodingConverter&) = delete;
  EncodingConverter& operator=(const EncodingConverter&) = delete;

  [[nodiscard]] bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts from *in (advancing it and *in_left) into *out (advancing it and *out_left).
  Result Convert(const char** in, size_t* in_left, char** out, size_t* out_left);
  // Writes any pending shift sequence; kOutputFull when it does not fit.
  Result Flush(char** out, size_t* out_left);
  // Forgets the conversion state (shift state, partial characters).
  void Clear();

 private:
  iconv_t cd_;
};

}  // namespace quill
