#pragma once

#include <windows.h>

#include <vector>

#include "platform/menu.h"
#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

// A pop-up menu of string items whose command ids are the item ids.
class Win32Menu final : public Menu {
 public:
  explicit Win32Menu(const std::vector<MenuItemLayout>& items);

  bool Enabled(MenuItemId id) const override;
  void SetEnabled(MenuItemId id, bool enabled) override;

  HMENU Handle() const { return menu_.get(); }

 private:
  UniqueMenu menu_;
};

}  // namespace tllink::platform::win32
