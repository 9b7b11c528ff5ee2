// ChunkInflater: inflates one zlib stream that arrives in pieces (the chunks of a PPD data block or
// the records of a two-way data section) into one growing C buffer.
//
// The output is capped at kMaxOutput bytes, the largest payload a writer stores; output beyond it
// is an inflate error. The buffer grows geometrically, so inflating n bytes costs O(n) however many
// chunks they come in. The result is a malloc'd buffer that the caller releases with free(), with
// one NUL byte after the data.
#pragma once

#include <zlib.h>

#include <cstddef>

namespace quill {

class ChunkInflater {
 public:
  // Largest output kept: 16 MiB.
  static constexpr std::size_t kMaxOutput = 16777216;

  enum class Status {
    kConsumed,   // every byte fed was used; the stream goes on
    kStreamEnd,  // the stream is complete; bytes after its end are ignored
    kError,      // zlib reported an error (reported on standard error)
    kNoMemory,   // the output could not be enlarged
  };

  // Starts the inflater (zlib format) with 256 bytes of output. ok() is false when zlib or the
  // first allocation failed; such an object answers kNoMemory to Feed and null to Release.
  ChunkInflater();
  ~ChunkInflater();
  ChunkInflater(const ChunkInflater&) = delete;
  ChunkInflater& operator=(const ChunkInflater&) = delete;

  [[nodiscard]] bool ok() const { return started_ && out_ != nullptr; }

  // Inflates `size` bytes, enlarging the output as it fills, until all are used or the stream
  // ends. On a zlib error (a negative code, or a stream that asks for a preset dictionary) writes
  // "ERROR: inflate returned %d (%s)\n" with the code and zlib's message to standard error and
  // answers kError; a stream in error stays in error. With the output at kMaxOutput bytes and more
  // to come, zlib answers Z_BUF_ERROR, reported the same way.
  Status Feed(const unsigned char* data, std::size_t size);

  // Bytes produced so far.
  [[nodiscard]] std::size_t size() const { return size_; }

  // Hands over the output: a malloc'd buffer of size() bytes followed by a NUL byte, and stores
  // size() in *size when `size` is not null. Afterwards the object holds nothing. Null when
  // ok() is false.
  [[nodiscard]] char* Release(std::size_t* size);

 private:
  bool Grow();

  z_stream stream_{};
  bool started_ = false;
  char* out_ = nullptr;
  std::size_t capacity_ = 0;  // usable bytes of out_; one more is allocated for the NUL
  std::size_t size_ = 0;
};

}  // namespace quill
