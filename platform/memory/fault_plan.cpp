#include "platform/memory/fault_plan.h"

#include "platform/failure.h"

namespace tllink::platform::memory {

void FaultPlan::CheckCall(std::string_view operation) const {
  if (failing_.contains(operation)) {
    std::u16string what(u"模擬失敗：");
    for (char c : operation) what.push_back(static_cast<char16_t>(c));
    throw Failure(what);
  }
}

}  // namespace tllink::platform::memory
