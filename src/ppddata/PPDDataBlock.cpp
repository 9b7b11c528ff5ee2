#include "ppddata/PPDDataBlock.h"

#include <cups/http.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ppddata/ChunkInflater.h"
#include "ppddata/CupsPPD.h"

namespace {

// A chunk holds at most 158 bytes; the decoder keeps one byte of its limit for a NUL.
constexpr int kChunkDecodeLimit = 159;

std::string ChunkAttributeName(const char* name, unsigned chunk) {
  char number[16];
  std::snprintf(number, sizeof number, "%04x", chunk);
  return std::string(name) + number;
}

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

}  // namespace

char* ppdxReadData(ppd_file_t* ppd, char const* name, size_t* datasize) {
  if (datasize != nullptr) *datasize = 0;
  if (ppd == nullptr || name == nullptr) return nullptr;
  const char* value = quill::CupsPPD::FindAttrValue(ppd, ChunkAttributeName(name, 0).c_str());
  if (value == nullptr) return nullptr;

  quill::ChunkInflater inflater;
  if (!inflater.ok()) return nullptr;
  for (unsigned chunk = 1; value != nullptr; ++chunk) {
    char decoded[kChunkDecodeLimit];
    int decoded_size = kChunkDecodeLimit;
    if (httpDecode64_2(decoded, &decoded_size, value) == nullptr || decoded_size <= 0) break;
    auto status = inflater.Feed(reinterpret_cast<const unsigned char*>(decoded),
                                static_cast<std::size_t>(decoded_size));
    if (status == quill::ChunkInflater::Status::kNoMemory) return nullptr;
    // After an error the next chunks are still fed: a stream in error only reports again.
    value = quill::CupsPPD::FindAttrValue(ppd, ChunkAttributeName(name, chunk).c_str());
  }
  return inflater.Release(datasize);
}

namespace quill {

std::string ReadPPDDataBlock(const std::string& ppd_path, const std::string& key) {
  if (ppd_path.empty() || key.empty()) return {};
  CupsPPD ppd(ppd_path);
  if (!ppd) return {};
  std::size_t size = 0;
  std::unique_ptr<char, FreeDeleter> data(ppdxReadData(ppd.get(), key.c_str(), &size));
  if (data == nullptr) return {};
  return std::string(data.get(), size);
}

}  // namespace quill
