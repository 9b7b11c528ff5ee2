// PPDX: the root of a parsed PPD. It owns the file and the list of parse errors, keeps the header
// values of the file and the text converter for its translation strings, offers the token
// functions that every keyword handler reads its line with, and is reference counted.
//
// The parser (KRTPPD) derives from it, implements Parse and handles every other keyword in its
// ParsePSKeywords override.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PPDX/PPDXErrors.h"

class PPDStream;
class PPDFile;
class TextConverter;

// Limits of the line, value and token buffers.
inline constexpr unsigned long kLineSizeLimit = 256;
inline constexpr unsigned long kQuotesStringSizeLimit = 4096;

// Delimiter sets: every byte of the string is a delimiter.
inline constexpr char kMainKeywordDelimiters[] = " \t:";
inline constexpr char kOptionKeywordDelimiters[] = "/:";
inline constexpr char kTranslationStringDelimiters[] = ":";
inline constexpr char kFlagKeywordDelimiters[] = "|:\"";
inline constexpr char kEndofLineDelimiters[] = "\n\r";
inline constexpr char kRangeStringDelimiters[] = ";(;)";
inline constexpr char kFloatRangeStringDelimiters[] = ";(;)";
inline constexpr char kSpecialOptionKeywordDelimiter[] = ":";
inline constexpr char kConstraintDelimiters[] = " \t";

class PPDX {
 public:
  // A root without a file: an empty error list and nothing to parse.
  PPDX();
  // A root for the PPD file at `path`. When `names` is given, the PC file name test runs now and
  // its result becomes IsValidPrinterName(); without names that flag is true.
  PPDX(const std::string& path, const std::vector<std::string>* names);
  virtual ~PPDX();
  PPDX(const PPDX&) = delete;
  PPDX& operator=(const PPDX&) = delete;

  // Reference counting. Release deletes the object when the count was 1 or less before it and
  // then returns true: an object retained n times goes with the n-th release, one never retained
  // with its first. Only objects made with new may be released.
  void Retain() { ++retainCount_; }
  bool Release();

  // Reads the file into the tree.
  virtual void Parse() = 0;

  [[nodiscard]] PPDXErrors* GetErrors() const { return errors_.get(); }
  // When set, any error ends the parse and makes the PPD invalid.
  void AllErrorsFatal(bool const& all) { allErrorsFatal_ = all; }
  [[nodiscard]] bool AllErrorsAreFatal() const { return allErrorsFatal_; }
  // False without a valid header; true without an error list; false when all errors count as
  // fatal and the list is not empty, or when any error is fatal; true otherwise.
  [[nodiscard]] bool IsValidPPD() const;
  [[nodiscard]] bool IsValidPrinterName() const { return validPrinterName_; }
  [[nodiscard]] bool HasValidHeader() const { return validHeader_; }
  // Output encoding of the text converter; 0 without one.
  [[nodiscard]] unsigned int GetStringTextEncoding() const;
  // The PPD file; null for a root without one.
  [[nodiscard]] PPDFile* GetFile() const { return file_.get(); }

  // Header values; each is null while its keyword has not been seen.
  [[nodiscard]] const char* FormatVersion() const { return Value(formatVersion_); }
  [[nodiscard]] const char* FileVersion() const { return Value(fileVersion_); }
  [[nodiscard]] const char* PCFileName() const { return Value(pcFileName_); }
  [[nodiscard]] const char* LanguageVersion() const { return Value(languageVersion_); }
  [[nodiscard]] const char* LanguageEncoding() const { return Value(languageEncoding_); }
  [[nodiscard]] const char* ModelName() const { return Value(modelName_); }
  [[nodiscard]] const char* PathToPDE() const { return Value(pathToPDE_); }

  // The converter for translation strings; null until both the language version and the
  // language encoding have been read.
  [[nodiscard]] TextConverter* GetTextConverter() const { return textConverter_.get(); }

  // Token functions. `out` holds kLineSizeLimit bytes unless a size is given.

  // Reads the next token of the current line up to one of `delimiters` (consumed, not stored);
  // at most 255 bytes are stored. With `strip`, leading and trailing spaces and tabs are removed.
  // False when the token is empty.
  bool NextToken(PPDStream& stream, char* out, char const* delimiters, bool strip);
  static void StripLeadingWhiteSpace(char* text);
  static void StripTrailingWhiteSpace(char* text);
  // Reads a double-quoted value, continuing on following lines of the file. Returns the length
  // + 1 for a complete value, the length when it was cut at `size`, 0 for none or an empty one.
  // Only the first line of a value that spans lines is visible through the NUL.
  unsigned long GetQuotedString(PPDStream& stream, char* out, unsigned long const& size);
  // As GetQuotedString for PostScript code: keeps every line, joined by line feeds, and ends the
  // value with a line feed. `out` is not NUL-terminated; the result is the length of the code.
  unsigned long GetPostscriptString(PPDStream& stream, char* out, unsigned long const& size);
  // Copies everything after the first slash of `text` into `out`; empty when there is no slash.
  static void ParseMainKeyword(char const* text, char* out);

  // Stores the header value of `keyword`, reading it from the rest of the line.
  virtual void ParsePSKeywords(PPDStream& stream, char const* keyword);

  // True when no names are given, or when the file's *PCFileName carries one of them.
  // Without `file`, a temporary PPDFile is made for `path`.
  static bool ValidateFileName(const std::string& path, const std::vector<std::string>* names,
                               PPDFile* file);
  static bool ValidateAgainstPCFilename(const std::vector<std::string>& names, PPDFile* file);

 protected:
  void SetValidHeader(bool valid) { validHeader_ = valid; }

  // Makes the text converter anew once both language keywords are known.
  void UpdateTextConverter();

  // The stream of the whole file while a parse runs (values that continue on following lines are
  // read from it); null otherwise. Not owned.
  void SetCurrentFileStream(PPDStream* stream) { currentFileStream_ = stream; }
  [[nodiscard]] PPDStream* CurrentFileStream() const { return currentFileStream_; }

 private:
  static const char* Value(const std::optional<std::string>& v) {
    return v ? v->c_str() : nullptr;
  }

  std::optional<std::string> formatVersion_;     // *FormatVersion
  std::optional<std::string> fileVersion_;       // *FileVersion
  std::optional<std::string> pcFileName_;        // *PCFileName
  std::optional<std::string> languageVersion_;   // *LanguageVersion
  std::optional<std::string> languageEncoding_;  // *LanguageEncoding
  std::optional<std::string> modelName_;         // *ModelName
  std::optional<std::string> pathToPDE_;         // *APDialogExtension
  bool validHeader_ = false;
  bool validPrinterName_ = true;
  bool allErrorsFatal_ = false;
  std::unique_ptr<PPDFile> file_;
  std::unique_ptr<PPDXErrors> errors_;
  std::unique_ptr<TextConverter> textConverter_;
  PPDStream* currentFileStream_ = nullptr;
  long long retainCount_ = 0;
};

// A converter for the translation strings of `ppd`, from its "*LanguageVersion" and
// "*LanguageEncoding" values (a null PPD counts as one without them) to the application's current
// text encoding, or to `output`. Never null; without a known encoding it is not valid.
std::unique_ptr<TextConverter> MakeTextConverter(const PPDX* ppd);
std::unique_ptr<TextConverter> MakeTextConverter(const PPDX* ppd, unsigned int output);
// The encoding number of the PPD's "*LanguageEncoding"; kEncodingUnknown for a null PPD or an
// unknown name.
[[nodiscard]] unsigned int GetPPDEncoding(const PPDX* ppd);
