#include "PPDX/PPDHeaderReader.h"

#include <cstring>
#include <filesystem>

#include "PPDX/PPDFile.h"
#include "PPDX/PPDFileStream.h"
#include "foundation/ProcessGlobals.h"

PPDHeaderReader::PPDHeaderReader(const std::string& path, const std::vector<std::string>* names)
    : PPDX(path, names) {}

PPDHeaderReader::Result PPDHeaderReader::Read() {
  Globals().endOfPPDLatch = false;
  PPDFile* file = GetFile();
  if (file == nullptr || file->openDataFork(fsRdPerm) != noErr) return Result::kFileError;
  PPDFileStream stream(file, true);
  if (stream.Bad()) {
    // An empty file reads fine but holds no header; anything else is a read failure.
    std::error_code error;
    const bool empty = std::filesystem::file_size(file->path(), error) == 0 && !error;
    file->closeDataFork();
    return empty ? Result::kNotPPDFile : Result::kFileError;
  }

  char token[kLineSizeLimit];
  char value[kLineSizeLimit];
  if (!NextToken(stream, token, kMainKeywordDelimiters, true) ||
      std::strcmp(token, "*PPD-Adobe") != 0 ||
      GetQuotedString(stream, value, kLineSizeLimit) == 0 || std::strcmp(value, "4.3") != 0) {
    file->closeDataFork();
    return Result::kNotPPDFile;
  }
  SetValidHeader(true);

  SetCurrentFileStream(&stream);
  char line[kLineSizeLimit];
  while (stream.GetLine(line)) {
    PPDStream line_stream(line, static_cast<long>(std::strlen(line)));
    if (NextToken(line_stream, token, kMainKeywordDelimiters, true)) {
      ParsePSKeywords(line_stream, token);
    }
  }
  SetCurrentFileStream(nullptr);
  file->closeDataFork();
  return Result::kOk;
}
