// CFileHdlr: the two-way data record format shared with the spooler-side filter.
//
// A section (a name and a payload of up to 16,777,216 bytes) is stored as one zlib stream cut into
// chunks of 158 bytes. Chunk k becomes the line "<name><k as %04x>: <Base64>\n"; after the last
// chunk comes the empty record "<name><count>: \n". The writer groups lines in blocks of under
// 1022 bytes separated by an empty line. The readers find record k as the first line that
// contains the name and counter (cut to 40 characters) anywhere, and take the rest of the line
// after the two characters that follow them.
//
// The object itself is a small text file writer: text is gathered with Add* and written with
// Commit.
#pragma once

#include <cstdio>
#include <istream>
#include <string>

class CFileHdlr {
 public:
  // Keeps a non-empty `name` and opens that file for binary writing, truncating it. An empty name
  // or a file that cannot be opened leaves the object without a file.
  explicit CFileHdlr(const std::string& name);
  // Keeps a non-empty `name` and opens nothing; `mode` is not used (readers pass "rb").
  CFileHdlr(const std::string& name, const char* mode);
  // Closes the file if one is open.
  ~CFileHdlr();
  CFileHdlr(const CFileHdlr&) = delete;
  CFileHdlr& operator=(const CFileHdlr&) = delete;

  // Append text (numbers as a default-formatted output stream writes them) to the pending
  // buffer; each returns the number of characters added.
  int AddString(const std::string& text);
  int AddInt(const int& value);
  int AddFloat(const float& value);
  // Writes the pending buffer to the file and empties it; returns its former length, or -1 when
  // there is no open file or nothing pending.
  int Commit();
  // Drops the pending buffer; returns its former length, or -1 when nothing was pending.
  int Discard();

  // Writes section `name` holding `length` bytes of `data` in the record format to standard
  // error and appends the same text to *out. Does nothing when `name` or `out` is null, when
  // `length` exceeds 16,777,216, or when `data` is null and `length` is not 0. A payload of 0
  // bytes gives only the record "<name>0000: \n".
  static void fileWriteData(const char* name, const void* data, unsigned long length,
                            std::string* out);

  // Reads section `name` from the file at `path`. Returns a malloc'd buffer (release it with
  // free()) holding the payload and one NUL byte after it, and stores the payload length in
  // *length (when `length` is not null; it is set to 0 first).
  // Null when `path` or `name` is null, when memory runs out, and when the file cannot be opened
  // (then "Failed to open the file." is written to standard output). A missing section gives an
  // empty, non-null result. A record that is not Base64 or decodes to nothing ends the payload;
  // one that zlib rejects ends it too, after "ERROR: inflate returned %d (%s)" on standard error.
  // The payload so far is returned in both cases. At most 16,777,216 bytes are kept.
  static char* fileReadData(char* path, const char* name, unsigned long* length);

  // The same as fileReadData, reading the lines of `text`. Null when `text` is empty.
  static char* stringReadData(std::string& text, const char* name, unsigned long* length);

  // Reads one line into `line`. A line ends at "\n", "\r" or "\r\n" (consumed as one end); the
  // last line needs no end. At the end of the input with nothing read it sets eofbit (only), so
  // callers loop while !safeGetline_(in, line).eof().
  static std::istream& safeGetline_(std::istream& in, std::string& line);

 private:
  std::FILE* file_ = nullptr;  // open output file, or none
  std::string fileName_;       // file name given at construction
  std::string buffer_;         // text gathered and not yet written
};
