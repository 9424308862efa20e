// The ordering of facets by decreasing top done the slow way, step by step as
// described (a scan per position, the swaps, then the bucket merge): the
// oracle that the fast ordering is held to, and the benchmark's baseline.
#pragma once

#include <cstdint>
#include <numeric>
#include <span>
#include <utility>
#include <vector>

namespace vestan::testing {

// Reorders order (indexes into keys) as the selection scan does.
inline void ScanOrderByTop(const std::vector<double>& keys, std::span<uint32_t> order) {
  const size_t n = order.size();
  std::vector<size_t> ties;
  for (size_t p = 0; p + 1 < n;) {
    double best = keys[order[p]];
    size_t at = p;
    ties.clear();
    for (size_t q = p + 1; q < n; ++q) {
      const double key = keys[order[q]];
      if (key > best) {
        best = key;
        at = q;
        ties.clear();
      } else if (key == best) {
        ties.push_back(q);
      }
    }
    if (at != p) std::swap(order[at], order[p]);
    for (size_t i = 0; i < ties.size(); ++i) std::swap(order[ties[i]], order[p + 1 + i]);
    p += 1 + ties.size();
  }
}

// The order the bucket-wise ordering gives: indexes into keys.
inline std::vector<uint32_t> ScanBucketOrder(const std::vector<double>& keys) {
  const size_t n = keys.size();
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  if (n < 5000) {
    ScanOrderByTop(keys, order);
    return order;
  }
  size_t k = n / 5000;
  if (k < 3) k = 2;
  if (k > 50) k = 50;
  std::vector<std::vector<uint32_t>> buckets;
  for (size_t j = 0; j < k; ++j) {
    const size_t end = j + 1 == k ? n : (j + 1) * (n / k);
    buckets.emplace_back(order.begin() + static_cast<std::ptrdiff_t>(j * (n / k)),
                         order.begin() + static_cast<std::ptrdiff_t>(end));
    ScanOrderByTop(keys, buckets.back());
  }
  std::vector<uint32_t> merged;
  std::vector<size_t> next(k, 0);
  while (merged.size() < n) {
    size_t chosen = k;
    double best = -1e10;
    for (size_t j = 0; j < k; ++j)
      if (next[j] < buckets[j].size() && keys[buckets[j][next[j]]] > best) {
        best = keys[buckets[j][next[j]]];
        chosen = j;
      }
    // Tops that cannot beat the start compete without it.
    if (chosen == k) {
      for (size_t j = 0; j < k; ++j) {
        if (next[j] == buckets[j].size()) continue;
        if (chosen == k || keys[buckets[j][next[j]]] > keys[buckets[chosen][next[chosen]]])
          chosen = j;
      }
    }
    const std::vector<uint32_t>& b = buckets[chosen];
    const double top = keys[b[next[chosen]]];
    merged.push_back(b[next[chosen]++]);
    while (next[chosen] < b.size() && keys[b[next[chosen]]] == top)
      merged.push_back(b[next[chosen]++]);
  }
  return merged;
}

}  // namespace vestan::testing
