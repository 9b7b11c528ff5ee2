#include "foundation/CStringSoup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
// Every copy gets room for at least this many bytes.
constexpr size_t kMinimumCopySize = 64;
constexpr size_t kReservedEntries = 512;
}  // namespace

void CStringSoup::FreeDeleter::operator()(char* p) const { std::free(p); }

CStringSoup::CStringSoup() {
  strings_.reserve(kReservedEntries);
  index_.reserve(kReservedEntries);
}

CStringSoup::~CStringSoup() = default;

long CStringSoup::Insert(char const* text) {
  if (text == nullptr) return -1;
  if (long found = Find(text); found >= 0) return found;
  const size_t length = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(std::max(length + 1, kMinimumCopySize)));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, text, length + 1);
  std::unique_ptr<char, FreeDeleter> owned(copy);
  strings_.push_back(std::move(owned));  // on failure the copy is still owned and freed
  const long id = static_cast<long>(strings_.size() - 1);
  try {
    index_.emplace(std::string_view(copy, length), id);
  } catch (...) {
    strings_.pop_back();  // keep the table and its index in step
    throw;
  }
  return id;
}

char const* CStringSoup::Find(long index) const {
  if (index < 0 || static_cast<size_t>(index) >= strings_.size()) return nullptr;
  return strings_[static_cast<size_t>(index)].get();
}

long CStringSoup::Find(char const* text) const {
  if (text == nullptr) return -1;
  auto it = index_.find(std::string_view(text));
  return it == index_.end() ? -1 : it->second;
}

void CStringSoup::Clear() {
  index_.clear();
  strings_.clear();
}

size_t CStringSoup::size() const { return strings_.size(); }
