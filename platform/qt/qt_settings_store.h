#pragma once

#include "platform/settings_store.h"

namespace tllink::platform::qt {

// One INI file per application in the user's configuration folder
// ($XDG_CONFIG_HOME/tllink/<app>.ini, by default ~/.config/tllink/tllink.ini): a section is a
// group, a key a key, values UTF-8.
class QtSettingsStore final : public SettingsStore {
 public:
  std::optional<std::u16string> Get(std::u16string_view app, std::u16string_view section,
                                    std::u16string_view key) override;
  void Save(std::u16string_view app, std::u16string_view section, std::u16string_view key,
            std::u16string_view value) override;
  void Delete(std::u16string_view app, std::u16string_view section,
              std::u16string_view key) override;
  void DeleteApp(std::u16string_view app) override;
};

}  // namespace tllink::platform::qt
