#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace tllink::platform::memory {

// Which in-memory operations fail. An operation named with Fail throws Failure each time it is
// called until it is cleared; one named with FailOnce throws on its `nth` call from now only.
class FaultPlan {
 public:
  void Fail(std::string operation) { failing_.insert(std::move(operation)); }
  void FailOnce(std::string operation, int nth) { countdowns_[std::move(operation)] = nth; }
  void Clear(const std::string& operation) { failing_.erase(operation); }
  void CheckCall(std::string_view operation) const;

 private:
  std::set<std::string, std::less<>> failing_;
  // Calls left until the one that fails; counting is not a change of the plan.
  mutable std::map<std::string, int, std::less<>> countdowns_;
};

}  // namespace tllink::platform::memory
