#include "settings/rule_store.h"

#include <iterator>
#include <optional>
#include <string>

#include "platform/failure.h"
#include "settings/form2.h"

namespace tllink {

namespace {

std::u16string GetSetting(platform::SettingsStore& store, std::u16string_view section,
                          std::u16string_view key) {
  return store.Get(kSettingsApp, section, key).value_or(u"");
}

}  // namespace

void LoadRule(platform::SettingsStore& store, Form2& form2) {
  form2.sup = GetSetting(store, u"sup", u"vl");
  form2.temp1 = GetSetting(store, u"slink", u"temp1");
  form2.temp2 = GetSetting(store, u"elink", u"temp2");
}

void SaveRule(platform::SettingsStore& store, std::u16string_view find_text,
              std::u16string_view replacement) {
  struct Value {
    std::u16string_view section;
    std::u16string_view key;
    std::u16string_view text;
    std::optional<std::u16string> before;
  };
  Value values[] = {{u"slink", u"temp1", find_text, {}},
                    {u"elink", u"temp2", replacement, {}},
                    {u"sup", u"vl", u"1", {}}};
  for (Value& value : values) value.before = store.Get(kSettingsApp, value.section, value.key);
  std::size_t written = 0;
  try {
    for (; written < std::size(values); ++written) {
      store.Save(kSettingsApp, values[written].section, values[written].key, values[written].text);
    }
  } catch (const platform::Failure&) {
    // A part-saved rule would load at the next start as a rule nobody entered: what was
    // written goes back to what it was. The store takes one value at a time, so this is the
    // best it allows.
    for (std::size_t i = 0; i < written; ++i) {
      try {
        if (values[i].before) {
          store.Save(kSettingsApp, values[i].section, values[i].key, *values[i].before);
        } else {
          store.Delete(kSettingsApp, values[i].section, values[i].key);
        }
      } catch (const platform::Failure&) {
        // The first failure is the one reported.
      }
    }
    throw;
  }
}

void RemoveRule(platform::SettingsStore& store) {
  store.DeleteApp(kSettingsApp);
}

}  // namespace tllink
