#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/memory/fault_plan.h"
#include "platform/settings_store.h"

namespace tllink::platform::memory {

class MemorySettingsStore final : public SettingsStore {
 public:
  explicit MemorySettingsStore(const FaultPlan& faults) : faults_(faults) {}

  using Address = std::tuple<std::u16string, std::u16string, std::u16string>;
  struct Write {
    Address address;
    std::u16string value;
    friend bool operator==(const Write&, const Write&) = default;
  };

  std::optional<std::u16string> Get(std::u16string_view app, std::u16string_view section,
                                    std::u16string_view key) override;
  void Save(std::u16string_view app, std::u16string_view section, std::u16string_view key,
            std::u16string_view value) override;
  void Delete(std::u16string_view app, std::u16string_view section,
              std::u16string_view key) override;
  void DeleteApp(std::u16string_view app) override;

  // Puts a value there as an earlier run (or the user editing the store) would have.
  void Put(std::u16string app, std::u16string section, std::u16string key, std::u16string value);
  const std::map<Address, std::u16string>& Values() const { return values_; }
  const std::vector<Write>& Writes() const { return writes_; }
  // Every value asked for, in order, found or not.
  const std::vector<Address>& Reads() const { return reads_; }

 private:
  const FaultPlan& faults_;
  std::map<Address, std::u16string> values_;
  std::vector<Write> writes_;
  std::vector<Address> reads_;
};

}  // namespace tllink::platform::memory
