#pragma once

#include <QMenu>
#include <map>
#include <optional>
#include <vector>

#include "platform/menu.h"

namespace tllink::platform::qt {

// A pop-up menu whose actions carry the items' ids.
class QtMenu final : public Menu {
 public:
  explicit QtMenu(const std::vector<MenuItemLayout>& items);

  bool Enabled(MenuItemId id) const override;
  void SetEnabled(MenuItemId id, bool enabled) override;

  QMenu& Widget() { return menu_; }
  // The id of an action of this menu, if it is one.
  std::optional<MenuItemId> IdOf(const QAction* action) const;

 private:
  QAction& Action(MenuItemId id) const;

  QMenu menu_;
  std::map<MenuItemId, QAction*> actions_;  // owned by menu_
};

}  // namespace tllink::platform::qt
