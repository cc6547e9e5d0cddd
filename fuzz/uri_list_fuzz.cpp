// text/uri-list: the links rewritten as the reference does, percent-encoded ones included.
#include <cstddef>
#include <cstdint>

#include "app/rich_formats.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/link_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace tllink::fuzz;
  const std::optional<Input> input = Split(bytes, size);
  if (!input) return -1;
  const std::optional<std::string> result =
      tllink::RewriteUriList(input->data, input->find, input->replacement);
  CheckLinkRewrite<char>(input->data, result, input->find, input->replacement, false, true);
  return 0;
}
