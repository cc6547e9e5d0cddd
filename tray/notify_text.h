#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tllink {

// `text` cut so that it and its terminating NUL fit a field of `field_units` UTF-16 units,
// without splitting a surrogate pair.
std::u16string FitNotifyField(std::u16string_view text, std::size_t field_units);

}  // namespace tllink
