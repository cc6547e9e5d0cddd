#pragma once

#include <set>
#include <string>
#include <string_view>

namespace tllink::platform::memory {

// Which in-memory operations fail. An operation named here throws Failure each time it is
// called until it is cleared.
class FaultPlan {
 public:
  void Fail(std::string operation) { failing_.insert(std::move(operation)); }
  void Clear(const std::string& operation) { failing_.erase(operation); }
  void CheckCall(std::string_view operation) const;

 private:
  std::set<std::string, std::less<>> failing_;
};

}  // namespace tllink::platform::memory
