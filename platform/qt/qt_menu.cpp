#include "platform/qt/qt_menu.h"

#include "platform/desktop/qt_text.h"
#include "platform/failure.h"

namespace tllink::platform::qt {

using desktop::ToQString;

QtMenu::QtMenu(const std::vector<MenuItemLayout>& items) {
  for (const MenuItemLayout& item : items) {
    actions_[item.id] = menu_.addAction(ToQString(item.caption));
  }
}

QAction& QtMenu::Action(MenuItemId id) const {
  const auto found = actions_.find(id);
  if (found == actions_.end()) throw Failure(u"沒有這個選單項目");
  return *found->second;
}

bool QtMenu::Enabled(MenuItemId id) const {
  return Action(id).isEnabled();
}

void QtMenu::SetEnabled(MenuItemId id, bool enabled) {
  Action(id).setEnabled(enabled);
}

std::optional<MenuItemId> QtMenu::IdOf(const QAction* action) const {
  for (const auto& [id, candidate] : actions_) {
    if (candidate == action) return id;
  }
  return std::nullopt;
}

}  // namespace tllink::platform::qt
