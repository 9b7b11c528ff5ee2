// FileMac: a file named by its path, with the classic data-fork operations and result codes that
// the PPD reader is written against. Reads and writes on a fork that is not open give fnOpnErr.
#pragma once

#include <cstdint>
#include <string>

using OSErr = int16_t;

inline constexpr OSErr noErr = 0;
inline constexpr OSErr ioErr = -36;       // input/output error
inline constexpr OSErr fnOpnErr = -38;    // file not open
inline constexpr OSErr eofErr = -39;      // read reached the end of the file
inline constexpr OSErr posErr = -40;      // bad position
inline constexpr OSErr fnfErr = -43;      // file not found
inline constexpr OSErr opWrErr = -49;     // file already open
inline constexpr OSErr paramErr = -50;    // bad parameter
inline constexpr OSErr permErr = -54;     // permission denied
inline constexpr OSErr dupFNErr = -48;    // file exists already

// Open permissions.
inline constexpr char fsRdPerm = 1;
inline constexpr char fsWrPerm = 2;
inline constexpr char fsRdWrPerm = 3;

class FileMac {
 public:
  explicit FileMac(std::string path);
  virtual ~FileMac();
  FileMac(const FileMac&) = delete;
  FileMac& operator=(const FileMac&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }

  // noErr when the file can be examined, fnfErr when it does not exist, else a failure code.
  virtual OSErr getFileInfo();
  // Copies the file's name (the last path component, at most 255 bytes) into `name`.
  virtual OSErr getFileName(char* name);
  virtual bool exists();
  // Opens the data fork with fsRdPerm, fsWrPerm or fsRdWrPerm; opWrErr when it is open already.
  virtual OSErr openDataFork(char permission);
  virtual OSErr closeDataFork();
  // Creates the file empty; dupFNErr when it exists.
  virtual OSErr createDataFork();
  // The open fork's descriptor, or 0 when it is not open.
  virtual int getDataForkRefNum();
  virtual bool dataForkOpen();
  virtual OSErr dataForkWrite(char* data, unsigned long count);
  // Reads up to *count bytes from the current position; *count is set to the bytes read.
  // eofErr when the end of the file came before *count bytes.
  virtual OSErr dataForkRead(char* data, unsigned long* count);
  // As dataForkRead, from `offset` bytes into the file.
  virtual OSErr dataForkReadWithOffset(char* data, unsigned long* count, long long offset);

 private:
  std::string path_;
  int fd_ = -1;
};
