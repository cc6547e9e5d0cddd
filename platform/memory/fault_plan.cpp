#include "platform/memory/fault_plan.h"

#include "platform/failure.h"

namespace tllink::platform::memory {

void FaultPlan::CheckCall(std::string_view operation) const {
  const auto countdown = countdowns_.find(operation);
  const bool fails_now = countdown != countdowns_.end() && --countdown->second == 0;
  if (fails_now) countdowns_.erase(countdown);
  if (fails_now || failing_.contains(operation)) {
    std::u16string what(u"模擬失敗：");
    for (char c : operation) what.push_back(static_cast<char16_t>(c));
    throw Failure(what);
  }
}

}  // namespace tllink::platform::memory
