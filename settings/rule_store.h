#pragma once

#include <string_view>

#include "platform/settings_store.h"

namespace tllink {

class Form2;

inline constexpr std::u16string_view kSettingsApp = u"tllink";

// Reads the stored rule into the dialog object's fields; a missing value reads as "".
void LoadRule(platform::SettingsStore& store, Form2& form2);
// Writes the find text, the replacement and the configured flag, in that order. When a write
// fails, the values already written are put back as they were, and the failure is thrown.
void SaveRule(platform::SettingsStore& store, std::u16string_view find_text,
              std::u16string_view replacement);
// Deletes the whole stored rule.
void RemoveRule(platform::SettingsStore& store);

}  // namespace tllink
