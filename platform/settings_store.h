#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tllink::platform {

// The per-user store of string values addressed by application, section and key.
// Every call throws Failure when the store cannot be read or written.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Nothing when the value does not exist (or is not a string).
  virtual std::optional<std::u16string> Get(std::u16string_view app, std::u16string_view section,
                                            std::u16string_view key) = 0;
  virtual void Save(std::u16string_view app, std::u16string_view section, std::u16string_view key,
                    std::u16string_view value) = 0;
  // Deletes one value; a value that does not exist is already deleted.
  virtual void Delete(std::u16string_view app, std::u16string_view section,
                      std::u16string_view key) = 0;
  // Deletes the application's whole entry; an entry that does not exist is already deleted.
  virtual void DeleteApp(std::u16string_view app) = 0;
};

}  // namespace tllink::platform
