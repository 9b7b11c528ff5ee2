// TextConverter: turns a PPD's translation strings, 8-bit text in the encoding the PPD declares
// with "*LanguageEncoding" and possibly carrying PPD hex substrings (<E9>), into display strings
// (UTF-8) and into 8-bit strings of the application's text encoding.
//
// The PPD object makes one from its "*LanguageVersion" and "*LanguageEncoding" values once both
// are known (MakeTextConverter, beside the PPD object). The free functions at the end convert
// job-note text between the application's encodings and UTF-8.
//
// Status codes: 0 success; kParamErr (-50) for a null text or unusable buffer size; kMemFullErr
// (-108) when a work buffer cannot be had; kNoConversionPathErr (-8749) when no converter exists
// between the two encodings (an unknown encoding included); kMalformedInputErr (-8739) when the
// text is not valid in its source encoding or cannot be represented in the output encoding;
// kOutputFullErr (-8785) when a converted text does not fit a fixed output buffer.
#pragma once

#include <memory>
#include <string>

#include "TextConverter/HexLanguageExceptions.h"
#include "platform/TextEncoding.h"

class TextConverter {
 public:
  static constexpr int kNoErr = 0;
  static constexpr int kParamErr = -50;
  static constexpr int kMemFullErr = -108;
  static constexpr int kMalformedInputErr = -8739;
  static constexpr int kNoConversionPathErr = -8749;
  static constexpr int kOutputFullErr = -8785;

  // From a PPD's "*LanguageVersion" and "*LanguageEncoding" values (either may be null) to
  // `output`. When the encoding name is unknown the source and output encodings are
  // kEncodingUnknown, the language version is not kept and no converter is made; otherwise the
  // converter from source to `output` is made.
  TextConverter(char const* languageVersion, char const* languageEncoding,
                unsigned int const& output);
  // From two encodings; there is no language version, so Convert applies its Mac Roman rule.
  TextConverter(unsigned int& source, unsigned int const& output);
  virtual ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  // The encoding number of a "*LanguageEncoding" value: "ISOLatin1", "ISOLatin2", "ISOLatin5",
  // "JIS83-RKSJ", "MacStandard", "WindowsANSI", "UTF-8"; kEncodingUnknown for any other name
  // and for null.
  [[nodiscard]] static unsigned int LanguageStringToEncoding(char const* name);
  // The application's current text encoding.
  [[nodiscard]] static unsigned int GetCurrentEncoding();

  [[nodiscard]] unsigned int GetSourceEncoding() const { return source_; }
  [[nodiscard]] unsigned int GetOutputEncoding() const { return output_; }
  // True when the converter from source to output exists.
  [[nodiscard]] bool ValidConverter() const { return valid_; }
  // Result of the construction or of the last Convert.
  [[nodiscard]] int GetStatus() const { return status_; }

  // Converts `text` (NUL-terminated within `size` bytes, or `size` bytes long) in place from the
  // source to the output encoding, decoding hex substrings first. Unless the language version is
  // one of the trusted languages, a text with any byte of 0x80 or above is read as Mac Roman
  // (except valid UTF-8 in a PPD that declares UTF-8). The result is cut to size - 1 bytes at a
  // character boundary and NUL-terminated. Returns and keeps the status: the last status without
  // a valid converter, kParamErr for a null text or a size below 1, kMemFullErr, or
  // kMalformedInputErr; on failure the text is left unchanged.
  int Convert(char* text, long size);

  // The display string (UTF-8) of the first `length` bytes of `text` (less when a NUL comes
  // first), hex substrings decoded. A null text gives ""; "Out Of Memory" when the work buffer
  // cannot be had. Bytes that are not valid in the source encoding become U+FFFD, so the result
  // is always valid UTF-8. An unknown source encoding reads the bytes as UTF-8.
  [[nodiscard]] std::string ConvertToCFString(char const* text, long length);

  // Writes `utf8` into `out` (`size` bytes) in the system encoding, NUL-terminated. When it does
  // not fit or cannot be converted, `out` holds "Translation Error" cut to size - 1 bytes and the
  // result is false. Nothing is written for a null `out` or a size below 1 (false).
  static bool CFStringToCstring(const std::string& utf8, char* out, long size);

  // Decodes the PPD hex substrings of the NUL-terminated `text` into `out`, which must hold
  // strlen(text) + 1 bytes (the decoded text is never longer). Text outside <...> is copied;
  // inside, pairs of hex digits give bytes and white space is skipped. A bracket with an odd
  // number of digits or another character ends decoding: the rest of the text, that bracket
  // included, is copied unchanged, as is a "<" without a closing ">". Returns the number of
  // bytes written including the NUL (a null text writes ""; 0 for a null `out`). The first
  // argument is not used.
  static long DehexBufferFill(char* unused, char const* text, char* out);

  // The trusted languages, shared by every converter of the process.
  static const HexLanguageExceptions mExceptionsList;

 private:
  void MakeConverter(unsigned int from);
  // Converts `length` bytes through the converter in rounds into `result`; a status code.
  int ConvertInRounds(const char* bytes, size_t length, std::unique_ptr<char[]>& result,
                      size_t& result_length);
  // Source to UTF-8 through the to-Unicode converter; false when that fails.
  bool ToUnicode(const char* bytes, size_t length, std::string& utf8);

  unsigned int source_ = quill::kEncodingUnknown;  // from *LanguageEncoding
  unsigned int output_ = quill::kEncodingUnknown;
  // The converter's actual source: Mac Roman once Convert has taken a text to be Mac Roman.
  unsigned int converterSource_ = quill::kEncodingUnknown;
  std::unique_ptr<quill::EncodingConverter> converter_;
  int status_ = kNoConversionPathErr;
  bool valid_ = false;
  std::unique_ptr<quill::EncodingConverter> toUnicode_;  // made on first need
  unsigned int toUnicodeEncoding_ = quill::kEncodingUnknown;
  std::string languageVersion_;  // *LanguageVersion
};

// Job-note text of the pop-up prompt (Mac Roman, or Shift-JIS when the job-notes language is
// Japanese) as UTF-8, in one process-wide buffer of 255 bytes that each call overwrites. A text
// that cannot be read (or null) gives "[conv from MR or SJ failed]", a result that does not fit
// "[MR or SJ conv to UTF8 failed]".
char* macRomanToUTF8(char* text);

// Converts the NUL-terminated `text` from the application's text encoding to UTF-8 into `out`,
// which must hold 4 bytes per input byte (1 byte for an empty text), and NUL-terminates it.
// Returns 0, kParamErr for a null argument, or the converter's failure (kNoConversionPathErr,
// kMalformedInputErr, kOutputFullErr); on failure `out` holds the part converted before it.
int ConvertTextFromApplicationToUTF8(char const* text, char* out);
