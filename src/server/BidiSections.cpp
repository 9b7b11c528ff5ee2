#include "server/BidiSections.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "ppddata/ChunkInflater.h"
#include "server/RecordBase64.h"

namespace quill {

void BidiSections::Load(std::string text) {
  text_ = std::move(text);
  records_.clear();
  decoded_.clear();
  std::string_view rest = text_;
  while (!rest.empty()) {
    std::size_t end = rest.find_first_of("\r\n");
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos || colon == 0) continue;
    // The first record of a counter wins, as a reader scanning from the top would find it.
    records_.emplace(line.substr(0, colon), line.substr(colon + 2));
  }
}

const std::wstring* BidiSections::Section(std::string_view name) {
  auto found = decoded_.find(name);
  if (found == decoded_.end()) found = decoded_.emplace(std::string(name), Decode(name)).first;
  return found->second ? &*found->second : nullptr;
}

std::optional<std::wstring> BidiSections::Decode(std::string_view name) const {
  ChunkInflater inflater;
  if (!inflater.ok()) return std::nullopt;
  std::vector<unsigned char> chunk;
  bool present = false;
  char counter[24];
  std::string key(name);
  for (unsigned long k = 0;; ++k) {
    std::snprintf(counter, sizeof counter, "%04lx", k);
    key.resize(name.size());
    key += counter;
    const auto record = records_.find(key);
    if (record == records_.end()) break;
    present = true;
    const std::string_view value = record->second;
    if (value.empty()) break;  // the terminating record
    chunk.resize(value.size());
    const std::size_t bytes = DecodeRecordBase64(value.data(), value.size(), chunk.data(), chunk.size());
    if (bytes == 0) break;
    const ChunkInflater::Status status = inflater.Feed(chunk.data(), bytes);
    if (status == ChunkInflater::Status::kStreamEnd) break;
    if (status != ChunkInflater::Status::kConsumed) break;
  }
  if (!present) return std::nullopt;
  std::size_t size = 0;
  std::unique_ptr<char, decltype(&std::free)> payload(inflater.Release(&size), &std::free);
  std::wstring wide(size / sizeof(wchar_t), L'\0');
  if (payload != nullptr && !wide.empty()) std::memcpy(wide.data(), payload.get(), wide.size() * sizeof(wchar_t));
  return wide;
}

BidiSections& BidiSections::Current() {
  static BidiSections sections;
  return sections;
}

}  // namespace quill
