// PPDFileStream: the line stream over a whole PPD file. It holds one chunk of the file in memory
// (1,000,000 bytes, so that a usual PPD is read with one file access) and loads the next chunk
// when a line runs past the end of the current one.
#pragma once

#include <memory>

#include "PPDX/PPDStream.h"

class PPDFile;

class PPDFileStream : public PPDStream {
 public:
  static constexpr unsigned long kChunkSize = 1000000;

  // A null file makes the stream bad. With chunked reading on, the first chunk is loaded now;
  // a file that cannot be opened or read makes the stream bad. The file is not owned.
  PPDFileStream(PPDFile* file, bool chunked);
  ~PPDFileStream() override;
  PPDFileStream(const PPDFileStream&) = delete;
  PPDFileStream& operator=(const PPDFileStream&) = delete;

  // As PPDStream::GetLine; a line cut by the end of the chunk is completed from the next chunk
  // (the joined line is cut at 255 bytes).
  bool GetLine(char* out) override;

  // Hands every line from the current position to the end of the file to `sink`, whole: no
  // length limit, no end marker, no end-of-file byte. For readers that need the rest of the file
  // after the parse stopped early.
  void ReadRest(PPDLineSink& sink);

 private:
  // Reads the next chunk from the file's current position and aims the stream at it.
  // False when the file cannot be read or has nothing more.
  bool LoadChunk();

  std::unique_ptr<char[]> chunk_;
  bool chunked_;
  PPDFile* file_;
};
