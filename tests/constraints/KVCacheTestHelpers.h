// Building and reading KVCache contents as plain lists of (key, option) pairs in tests.
#pragma once

#include <utility>
#include <vector>

#include "constraints/KVCache.h"

namespace constraints_test {

using KV = std::pair<long, long>;

// A cache holding the pairs in order (added with add, duplicates kept).
inline KVCache Make(const std::vector<KV>& pairs) {
  KVCache cache;
  for (const KV& kv : pairs) cache.add(kv);
  return cache;
}

// The cache's entries in order.
inline std::vector<KV> Entries(const KVCache& cache) {
  std::vector<KV> out;
  for (long i = 0; i < cache.size(); ++i) out.push_back(cache.GetKV(i));
  return out;
}

}  // namespace constraints_test
