#include "app/rewrite.h"

#include <bit>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tllink {
namespace {

constexpr std::size_t kNotFound = std::u16string_view::npos;

// Position of the first occurrence of `find` (not empty) in `text` at or after `from`, or
// kNotFound. A position is a candidate when both the first and the last code unit of `find` match
// there; only candidates are compared in full. Testing both ends keeps false candidates rare even
// when the first unit is common in the text (the "h" of "http").
std::size_t Find(std::u16string_view text, std::u16string_view find, std::size_t from) {
  const std::size_t m = find.size();
  if (text.size() < m) return kNotFound;
  const std::size_t end = text.size() - m + 1;  // candidates lie in [from, end)
  const char16_t* const s = text.data();
  const char16_t first = find.front();
  const char16_t last = find.back();
  const auto rest_matches = [&](std::size_t at) {
    return std::memcmp(s + at + 1, find.data() + 1, (m - 1) * sizeof(char16_t)) == 0;
  };

#if defined(__SSE2__)
  // Eight candidates at a time; each matching 16-bit lane sets two adjacent bits of the mask.
  const __m128i first8 = _mm_set1_epi16(static_cast<short>(first));
  const __m128i last8 = _mm_set1_epi16(static_cast<short>(last));
  for (; from + 8 <= end; from += 8) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from));
    const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from + m - 1));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi16(heads, first8), _mm_cmpeq_epi16(tails, last8))));
    while (mask != 0) {
      const int bit = std::countr_zero(mask);
      const std::size_t at = from + static_cast<std::size_t>(bit / 2);
      if (rest_matches(at)) return at;
      mask ^= 3u << bit;
    }
  }
#endif
  for (; from < end; ++from) {
    if (s[from] == first && s[from + m - 1] == last && rest_matches(from)) return from;
  }
  return kNotFound;
}

}  // namespace

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view find_text,
                          std::u16string_view replacement) {
  std::size_t at = find_text.empty() ? kNotFound : Find(text, find_text, 0);
  if (at == kNotFound) return std::u16string(text);

  // The text's own size bounds the result unless the replacement is longer; then a read-only scan
  // counts the occurrences first, so that the result is still allocated exactly once.
  std::u16string result;
  std::size_t size = text.size();
  if (replacement.size() > find_text.size()) {
    const std::size_t growth = replacement.size() - find_text.size();
    std::size_t count = 0;
    for (std::size_t p = at; p != kNotFound; p = Find(text, find_text, p + find_text.size())) {
      ++count;
    }
    if (count > (result.max_size() - size) / growth) throw std::bad_alloc();
    size += count * growth;
  }

  // Each untouched run is copied right after it was scanned, while it is still in the cache.
  result.reserve(size);
  std::size_t copied = 0;
  for (; at != kNotFound; at = Find(text, find_text, copied)) {
    result.append(text.data() + copied, at - copied);
    result.append(replacement);
    copied = at + find_text.size();
  }
  result.append(text.data() + copied, text.size() - copied);
  return result;
}

}  // namespace tllink
