#include "PPDX/PPDFileStream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "PPDX/PPDFile.h"
#include "PPDX/PPDX.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"

PPDFileStream::PPDFileStream(PPDFile* file, bool chunked) : chunked_(chunked), file_(file) {
  if (file_ == nullptr) return;  // stays bad
  if (chunked_) {
    chunk_.reset(new (std::nothrow) char[kChunkSize]);
    if (chunk_ == nullptr) return;
    LoadChunk();
  }
}

PPDFileStream::~PPDFileStream() = default;

bool PPDFileStream::LoadChunk() {
  if (file_ == nullptr || chunk_ == nullptr) return false;
  if (!file_->dataForkOpen() && file_->openDataFork(fsRdPerm) != noErr) {
    Setup(nullptr, 0);
    return false;
  }
  unsigned long count = kChunkSize;
  const OSErr err = file_->dataForkRead(chunk_.get(), &count);
  if (err != noErr && err != eofErr) {
    Setup(nullptr, 0);
    return false;
  }
  Setup(chunk_.get(), static_cast<long>(count));
  return count > 0;
}

bool PPDFileStream::GetLine(char* out) {
  if (PPDStream::GetLine(out)) return true;
  if (!chunked_ || !EndOfFile()) return false;

  // The chunk ended inside the line: finish it from the next chunk.
  if (!LoadChunk()) return false;
  char rest[kLineSizeLimit];
  const bool complete = PPDStream::GetLine(rest);
  const size_t have = std::strlen(out);
  const size_t room = kLineSizeLimit - 1 - have;
  const size_t add = std::min(room, std::strlen(rest));
  std::memcpy(out + have, rest, add);
  out[have + add] = '\0';
  if (complete && std::strncmp(out, "*% End of PPD file", 18) == 0) {
    quill::PanelLog("*%% End of PPD file");
    Globals().endOfPPDLatch = true;
    out[0] = '\0';
    return false;
  }
  return complete;
}

void PPDFileStream::ReadRest(PPDLineSink& sink) {
  for (;;) {
    const unsigned char* p = Current();
    const unsigned char* const end = End();
    if (p == nullptr || p >= end) {
      if (!chunked_ || !LoadChunk()) return;
      continue;
    }
    while (p < end) {
      const unsigned char* q = p;
      while (q < end && *q != '\n' && *q != '\r') ++q;
      const std::string_view piece(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
      if (q == end) {
        sink.Take(piece, false);  // the line goes on in the next chunk, or the file ends here
        p = q;
        break;
      }
      sink.Take(piece, true);
      p = q + 1;
      if (*q == '\r' && p < end && *p == '\n') ++p;
    }
    Advance(end, false);
  }
}
