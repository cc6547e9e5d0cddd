#include "app/rewrite.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace tllink {
namespace {

constexpr std::size_t kNotFound = std::u16string_view::npos;

// The search looks for candidates: positions where the first and the last code unit of the find
// text match. Testing both ends keeps false candidates rare even where the first unit is common in
// the text (the "h" of "http"); only candidates are compared in full. A text made of near misses
// costs one comparison per position, at most the find text's length each.
struct Needle {
  std::u16string_view units;
  char16_t first;
  char16_t last;

  bool MatchesAt(const char16_t* s) const {
    return std::memcmp(s, units.data(), units.size() * sizeof(char16_t)) == 0;
  }
};

// The vector scans test whole blocks of candidates in [from, stop) at once and return the first
// occurrence or kNotFound. Blocks without candidates are the common case: the inner loop that skips
// them calls nothing, so that the compiler keeps the vectors in registers there.
#if defined(__SSE2__)
constexpr std::size_t kSse2Block = 16;

// Bit i is set when at + i is a candidate.
std::uint32_t CandidatesSse2(const char16_t* at, std::size_t tail, __m128i first, __m128i last) {
  const auto lanes8 = [&](const char16_t* block) {  // 0xFFFF in each candidate's lane
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + tail));
    return _mm_and_si128(_mm_cmpeq_epi16(heads, first), _mm_cmpeq_epi16(tails, last));
  };
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(lanes8(at), lanes8(at + 8))));
}

std::size_t ScanSse2(const char16_t* s, std::size_t from, std::size_t stop, const Needle& needle) {
  const std::size_t tail = needle.units.size() - 1;
  const __m128i first = _mm_set1_epi16(static_cast<short>(needle.first));
  const __m128i last = _mm_set1_epi16(static_cast<short>(needle.last));
  for (; from < stop; from += kSse2Block) {
    std::uint32_t mask;
    while ((mask = CandidatesSse2(s + from, tail, first, last)) == 0) {
      if ((from += kSse2Block) >= stop) return kNotFound;
    }
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t at = from + static_cast<std::size_t>(std::countr_zero(mask));
      if (needle.MatchesAt(s + at)) return at;
    }
  }
  return kNotFound;
}
#endif

// MinGW's GCC does not keep 32-byte vectors spilled to the stack aligned on 64-bit Windows, so the
// wide scan is left out there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define TLLINK_SCAN_AVX2 1
// Twice the width of the SSE2 scan, for the processors that have it (checked at run time).
constexpr std::size_t kAvx2Block = 32;

__attribute__((target("avx2"))) inline __m256i Lanes16(const char16_t* block, std::size_t tail,
                                                       __m256i first, __m256i last) {
  const __m256i heads = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
  const __m256i tails = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + tail));
  return _mm256_and_si256(_mm256_cmpeq_epi16(heads, first), _mm256_cmpeq_epi16(tails, last));
}

__attribute__((target("avx2"))) inline std::uint32_t CandidatesAvx2(const char16_t* at,
                                                                    std::size_t tail, __m256i first,
                                                                    __m256i last) {
  const __m256i packed =
      _mm256_packs_epi16(Lanes16(at, tail, first, last), Lanes16(at + 16, tail, first, last));
  // Packing works within 128-bit halves; the permutation restores the order of positions.
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_permute4x64_epi64(packed, 0xD8)));
}

__attribute__((target("avx2"))) std::size_t ScanAvx2(const char16_t* s, std::size_t from,
                                                     std::size_t stop, const Needle& needle) {
  const std::size_t tail = needle.units.size() - 1;
  const __m256i first = _mm256_set1_epi16(static_cast<short>(needle.first));
  const __m256i last = _mm256_set1_epi16(static_cast<short>(needle.last));
  for (; from < stop; from += kAvx2Block) {
    std::uint32_t mask;
    while ((mask = CandidatesAvx2(s + from, tail, first, last)) == 0) {
      if ((from += kAvx2Block) >= stop) return kNotFound;
    }
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t at = from + static_cast<std::size_t>(std::countr_zero(mask));
      if (needle.MatchesAt(s + at)) return at;
    }
  }
  return kNotFound;
}

bool HasAvx2() {
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2;
}
#endif

// Position of the first occurrence of the needle in `text` at or after `from`, or kNotFound.
std::size_t Find(std::u16string_view text, const Needle& needle, std::size_t from) {
  if (text.size() < needle.units.size()) return kNotFound;
  const std::size_t end = text.size() - needle.units.size() + 1;  // candidates lie in [from, end)
  if (from >= end) return kNotFound;
  const char16_t* const s = text.data();
  // Each scan takes the whole blocks it can and leaves the rest to a narrower one.
  const auto scan = [&](auto scan_blocks, std::size_t block) {
    const std::size_t stop = from + (end - from) / block * block;
    const std::size_t at = scan_blocks(s, from, stop, needle);
    from = stop;
    return at;
  };
#if defined(TLLINK_SCAN_AVX2)
  if (HasAvx2()) {
    if (const std::size_t at = scan(ScanAvx2, kAvx2Block); at != kNotFound) return at;
  }
#endif
#if defined(__SSE2__)
  if (const std::size_t at = scan(ScanSse2, kSse2Block); at != kNotFound) return at;
#endif
  for (; from < end; ++from) {
    if (s[from] == needle.first && needle.MatchesAt(s + from)) return from;
  }
  return kNotFound;
}

}  // namespace

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view find_text,
                          std::u16string_view replacement) {
  if (find_text.empty()) return std::u16string(text);
  const Needle needle{find_text, find_text.front(), find_text.back()};

  std::size_t at = Find(text, needle, 0);
  if (at == kNotFound) return std::u16string(text);

  // One scan collects the occurrences, so that the result can be allocated at its exact size.
  std::vector<std::size_t> found;
  found.reserve(16);  // a clipboard text rarely holds more links; spares small texts regrowing
  for (; at != kNotFound; at = Find(text, needle, at + find_text.size())) found.push_back(at);

  std::u16string result;
  const std::size_t kept = text.size() - found.size() * find_text.size();
  if (replacement.size() != 0 && found.size() > (result.max_size() - kept) / replacement.size()) {
    throw std::bad_alloc();
  }
  result.reserve(kept + found.size() * replacement.size());
  std::size_t copied = 0;
  for (std::size_t occurrence : found) {
    result.append(text.data() + copied, occurrence - copied);
    result.append(replacement);
    copied = occurrence + find_text.size();
  }
  result.append(text.data() + copied, text.size() - copied);
  return result;
}

}  // namespace tllink
