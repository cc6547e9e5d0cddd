#include "platform/win32/registry_settings_store.h"

#include <string.h>  // wcsnlen

#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

namespace {

constexpr std::u16string_view kRoot = u"Software\\VB and VBA Program Settings\\";

std::wstring KeyPath(std::u16string_view app, std::u16string_view section = {}) {
  std::u16string path(kRoot);
  path += app;
  if (!section.empty()) {
    path += u'\\';
    path += section;
  }
  return std::wstring(path.begin(), path.end());
}

std::wstring WideString(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

}  // namespace

std::optional<std::u16string> RegistrySettingsStore::Get(std::u16string_view app,
                                                         std::u16string_view section,
                                                         std::u16string_view key) {
  const std::wstring path = KeyPath(app, section);
  const std::wstring name = WideString(key);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    auto size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(),
                                        RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
    if (status == ERROR_SUCCESS) {
      // A string value ends at its first NUL (RegGetValueW guarantees one). Whatever an edited
      // store left behind it is not part of the setting; kept, it would never match a clipboard
      // text, or would cut the user's text short inside a replacement.
      return FromWide(buffer.data(), wcsnlen(buffer.data(), size / sizeof(wchar_t)));
    }
    if (status == ERROR_MORE_DATA) {
      buffer.resize(size / sizeof(wchar_t) + 1);
      continue;
    }
    // A value of another type is not a setting this program wrote.
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_UNSUPPORTED_TYPE) return std::nullopt;
    throw Failure(u"無法讀取設定");
  }
}

void RegistrySettingsStore::Save(std::u16string_view app, std::u16string_view section,
                                 std::u16string_view key, std::u16string_view value) {
  HKEY raw_key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &raw_key, nullptr) != ERROR_SUCCESS) {
    throw Failure(u"無法儲存設定");
  }
  const UniqueRegKey section_key(raw_key);
  const std::wstring data = WideString(value);
  const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(section_key.get(), WideString(key).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()), bytes) != ERROR_SUCCESS) {
    throw Failure(u"無法儲存設定");
  }
}

void RegistrySettingsStore::Delete(std::u16string_view app, std::u16string_view section,
                                   std::u16string_view key) {
  const LSTATUS status =
      RegDeleteKeyValueW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), WideString(key).c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) throw Failure(u"無法儲存設定");
}

void RegistrySettingsStore::DeleteApp(std::u16string_view app) {
  const std::wstring path = KeyPath(app);
  // The tree call empties the entry; the key call removes the entry itself where the tree call
  // leaves it behind.
  for (const LSTATUS status : {RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()),
                               RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str())}) {
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
      throw Failure(u"無法移除設定");
    }
  }
}

}  // namespace tllink::platform::win32
