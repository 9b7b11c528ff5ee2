#include "ppddata/PPDDataBlock.h"

#include <cups/http.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ppddata/ChunkInflater.h"
#include "ppddata/CupsPPD.h"
#include "ppddata/PPDDataBlocks.h"

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

// The block reader of both paths: `find` answers the value of an attribute name, or null.
template <typename Find>
char* ReadBlock(char const* name, size_t* datasize, Find find) {
  if (datasize != nullptr) *datasize = 0;
  if (name == nullptr) return nullptr;
  const char* value = find(ChunkAttributeName(name, 0).c_str());
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
    // A stream in error cannot go on, and one that has ended takes nothing more: the read stops
    // with what was inflated so far (the error was reported once).
    if (status != quill::ChunkInflater::Status::kConsumed) break;
    value = find(ChunkAttributeName(name, chunk).c_str());
  }
  return inflater.Release(datasize);
}

}  // namespace

char* ppdxReadData(ppd_file_t* ppd, char const* name, size_t* datasize) {
  if (ppd == nullptr) {
    if (datasize != nullptr) *datasize = 0;
    return nullptr;
  }
  return ReadBlock(name, datasize, [ppd](const char* attribute) {
    return quill::CupsPPD::FindAttrValue(ppd, attribute);
  });
}

char* ppdxReadData(const quill::PPDDataBlocks& blocks, char const* name, size_t* datasize) {
  return ReadBlock(name, datasize, [&blocks](const char* attribute) -> const char* {
    const std::string* value = blocks.Find(attribute);
    return value != nullptr ? value->c_str() : nullptr;
  });
}

namespace quill {

std::string ReadPPDDataBlock(const std::string& ppd_path, const std::string& key) {
  if (ppd_path.empty() || key.empty()) return {};
  std::size_t size = 0;
  std::unique_ptr<char, FreeDeleter> data;
  if (const PPDDataBlocks* blocks = PPDDataBlocks::ForFile(ppd_path)) {
    // The file has been parsed and not changed since: its blocks are at hand.
    data.reset(ppdxReadData(*blocks, key.c_str(), &size));
  } else {
    CupsPPD ppd(ppd_path);
    if (!ppd) return {};
    data.reset(ppdxReadData(ppd.get(), key.c_str(), &size));
  }
  if (data == nullptr) return {};
  return std::string(data.get(), size);
}

}  // namespace quill
