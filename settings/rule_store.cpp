#include "settings/rule_store.h"

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
  store.Save(kSettingsApp, u"slink", u"temp1", find_text);
  store.Save(kSettingsApp, u"elink", u"temp2", replacement);
  store.Save(kSettingsApp, u"sup", u"vl", u"1");
}

void RemoveRule(platform::SettingsStore& store) {
  store.DeleteApp(kSettingsApp);
}

}  // namespace tllink
