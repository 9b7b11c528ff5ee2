#include "ppddata/ChunkInflater.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quill {
namespace {

constexpr std::size_t kInitialCapacity = 256;

}  // namespace

ChunkInflater::ChunkInflater() {
  started_ = inflateInit(&stream_) == Z_OK;
  if (!started_) return;
  out_ = static_cast<char*>(std::malloc(kInitialCapacity + 1));
  if (out_ != nullptr) capacity_ = kInitialCapacity;
}

ChunkInflater::~ChunkInflater() {
  if (started_) inflateEnd(&stream_);
  std::free(out_);
}

bool ChunkInflater::Grow() {
  std::size_t capacity = std::min(capacity_ * 2, kMaxOutput);
  auto* grown = static_cast<char*>(std::realloc(out_, capacity + 1));
  if (grown == nullptr) return false;
  out_ = grown;
  capacity_ = capacity;
  return true;
}

ChunkInflater::Status ChunkInflater::Feed(const unsigned char* data, std::size_t size) {
  if (!ok()) return Status::kNoMemory;
  stream_.next_in = const_cast<Bytef*>(data);
  stream_.avail_in = static_cast<uInt>(size);
  while (stream_.avail_in > 0) {
    if (size_ == capacity_ && capacity_ < kMaxOutput && !Grow()) return Status::kNoMemory;
    stream_.next_out = reinterpret_cast<Bytef*>(out_ + size_);
    stream_.avail_out = static_cast<uInt>(capacity_ - size_);
    int code = inflate(&stream_, Z_NO_FLUSH);
    size_ = capacity_ - stream_.avail_out;
    if (code == Z_STREAM_END) return Status::kStreamEnd;
    // A stream that asks for a preset dictionary can never go on: none is known here.
    if (code < 0 || code == Z_NEED_DICT) {
      std::fprintf(stderr, "ERROR: inflate returned %d (%s)\n", code,
                   stream_.msg != nullptr ? stream_.msg : zError(code));
      return Status::kError;
    }
  }
  return Status::kConsumed;
}

char* ChunkInflater::Release(std::size_t* size) {
  if (size != nullptr) *size = 0;
  if (!ok()) return nullptr;
  out_[size_] = '\0';
  if (size != nullptr) *size = size_;
  char* out = out_;
  out_ = nullptr;
  capacity_ = 0;
  size_ = 0;
  return out;
}

}  // namespace quill
