#include "app/rewrite.h"

#include <vector>

namespace tllink {

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view find_text,
                          std::u16string_view replacement) {
  if (find_text.empty()) return std::u16string(text);

  std::vector<std::size_t> positions;
  for (std::size_t at = text.find(find_text); at != std::u16string_view::npos;
       at = text.find(find_text, at + find_text.size())) {
    positions.push_back(at);
  }

  std::u16string result;
  result.reserve(text.size() - positions.size() * find_text.size() +
                 positions.size() * replacement.size());
  std::size_t copied = 0;
  for (std::size_t at : positions) {
    result.append(text.substr(copied, at - copied));
    result.append(replacement);
    copied = at + find_text.size();
  }
  result.append(text.substr(copied));
  return result;
}

}  // namespace tllink
