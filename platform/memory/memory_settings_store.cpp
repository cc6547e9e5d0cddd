#include "platform/memory/memory_settings_store.h"

#include <iterator>

namespace tllink::platform::memory {

std::optional<std::u16string> MemorySettingsStore::Get(std::u16string_view app,
                                                       std::u16string_view section,
                                                       std::u16string_view key) {
  faults_.CheckCall("SettingsStore::Get");
  reads_.push_back(Address{app, section, key});
  const auto found = values_.find(reads_.back());
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

void MemorySettingsStore::Save(std::u16string_view app, std::u16string_view section,
                               std::u16string_view key, std::u16string_view value) {
  faults_.CheckCall("SettingsStore::Save");
  Address address{app, section, key};
  values_[address] = value;
  writes_.push_back(Write{std::move(address), std::u16string(value)});
}

void MemorySettingsStore::Delete(std::u16string_view app, std::u16string_view section,
                                 std::u16string_view key) {
  faults_.CheckCall("SettingsStore::Delete");
  values_.erase(Address{app, section, key});
}

void MemorySettingsStore::DeleteApp(std::u16string_view app) {
  faults_.CheckCall("SettingsStore::DeleteApp");
  std::erase_if(values_, [app](const auto& entry) { return std::get<0>(entry.first) == app; });
}

void MemorySettingsStore::Put(std::u16string app, std::u16string section, std::u16string key,
                              std::u16string value) {
  values_[Address{std::move(app), std::move(section), std::move(key)}] = std::move(value);
}

}  // namespace tllink::platform::memory
