// The text rewrite equals a plain replace-all, and an empty find text changes nothing.
#include <cstddef>
#include <cstdint>

#include "app/rewrite.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace tllink::fuzz;
  const std::optional<Input> input = Split(bytes, size);
  if (!input) return -1;  // not kept in the corpus
  const std::u16string text = Utf16(input->data);
  const std::u16string rewritten = tllink::ReplaceAll(text, input->find, input->replacement);
  FUZZ_CHECK(rewritten == PlainReplaceAll(text, input->find, input->replacement));
  if (input->find.empty()) FUZZ_CHECK(rewritten == text);
  return 0;
}
