#pragma once

#include <string>
#include <string_view>

namespace tllink {

// `text` with every occurrence of `find_text` replaced by `replacement`, scanning left to right
// without overlaps. Code units outside the occurrences pass through unchanged, unpaired
// surrogates included. An empty `find_text` changes nothing. Comparison is exact, code unit by code
// unit. Throws std::bad_alloc when the result does not fit in memory.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view find_text,
                          std::u16string_view replacement);

}  // namespace tllink
