#pragma once

#include <string>
#include <vector>

namespace tllink::platform {

using MenuItemId = int;

struct MenuItemLayout {
  MenuItemId id = 0;
  std::u16string caption;
};

class Menu {
 public:
  virtual ~Menu() = default;
  virtual bool Enabled(MenuItemId id) const = 0;
  virtual void SetEnabled(MenuItemId id, bool enabled) = 0;
};

}  // namespace tllink::platform
