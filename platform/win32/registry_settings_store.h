#pragma once

#include "platform/settings_store.h"

namespace tllink::platform::win32 {

// Values live where the classic per-user application-settings API keeps them:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, as REG_SZ <key>.
class RegistrySettingsStore final : public SettingsStore {
 public:
  std::optional<std::u16string> Get(std::u16string_view app, std::u16string_view section,
                                    std::u16string_view key) override;
  void Save(std::u16string_view app, std::u16string_view section, std::u16string_view key,
            std::u16string_view value) override;
  void Delete(std::u16string_view app, std::u16string_view section,
              std::u16string_view key) override;
  void DeleteApp(std::u16string_view app) override;
};

}  // namespace tllink::platform::win32
