#include "platform/win32/win32_menu.h"

#include "platform/failure.h"

namespace tllink::platform::win32 {

Win32Menu::Win32Menu(const std::vector<MenuItemLayout>& items) : menu_(::CreatePopupMenu()) {
  if (!menu_) throw Failure(u"無法建立選單");
  for (const MenuItemLayout& item : items) {
    if (!::AppendMenuW(menu_.get(), MF_STRING, static_cast<UINT_PTR>(item.id),
                       Wide(item.caption))) {
      throw Failure(u"無法加入選單項目");
    }
  }
}

bool Win32Menu::Enabled(MenuItemId id) const {
  const UINT state = ::GetMenuState(menu_.get(), static_cast<UINT>(id), MF_BYCOMMAND);
  if (state == static_cast<UINT>(-1)) throw Failure(u"沒有這個選單項目");
  return (state & (MF_DISABLED | MF_GRAYED)) == 0;
}

void Win32Menu::SetEnabled(MenuItemId id, bool enabled) {
  const BOOL previous = ::EnableMenuItem(menu_.get(), static_cast<UINT>(id),
                                         MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  if (previous == -1) throw Failure(u"沒有這個選單項目");
}

}  // namespace tllink::platform::win32
