#include "platform/memory/memory_window.h"

#include "platform/failure.h"

namespace tllink::platform::memory {

void MemoryControl::SetVisible(bool visible) {
  faults_.CheckCall("Control::SetVisible");
  visible_ = visible;
}

void MemoryControl::SetEnabled(bool enabled) {
  faults_.CheckCall("Control::SetEnabled");
  enabled_ = enabled;
}

void MemoryControl::SetText(std::u16string_view text) {
  faults_.CheckCall("Control::SetText");
  text_ = text;
}

bool MemoryMenu::Enabled(MenuItemId id) const {
  const auto found = disabled_.find(id);
  return found == disabled_.end() || !found->second;
}

void MemoryMenu::SetEnabled(MenuItemId id, bool enabled) {
  disabled_[id] = !enabled;
}

MemoryWindow::MemoryWindow(const WindowLayout& layout, WindowEvents& events, WindowHandle handle,
                           WindowHandle& next_handle, const FaultPlan& faults,
                           const MenuChooser& chooser)
    : layout_(layout), events_(events), handle_(handle), faults_(faults), chooser_(chooser) {
  for (const ControlLayout& control : layout.controls) {
    controls_[control.id] = std::make_unique<MemoryControl>(control, next_handle++, faults);
  }
}

void MemoryWindow::SetVisible(bool visible) {
  faults_.CheckCall("Window::SetVisible");
  visible_ = visible;
}

Control& MemoryWindow::GetControl(ControlId id) {
  return GetMemoryControl(id);
}

MemoryControl& MemoryWindow::GetMemoryControl(ControlId id) {
  const auto found = controls_.find(id);
  if (found == controls_.end()) throw Failure(u"沒有這個控制項");
  return *found->second;
}

std::optional<MenuItemId> MemoryWindow::PopupMenu(Menu& menu) {
  faults_.CheckCall("Window::PopupMenu");
  ++popups_;
  auto& memory_menu = dynamic_cast<MemoryMenu&>(menu);
  if (!chooser_) return std::nullopt;
  const std::optional<MenuItemId> chosen = chooser_(memory_menu);
  // A disabled item cannot be picked.
  if (chosen && !memory_menu.Enabled(*chosen)) return std::nullopt;
  return chosen;
}

bool MemoryWindow::UserClick(ControlId id) {
  MemoryControl& control = GetMemoryControl(id);
  if (!visible_ || !control.Visible() || !control.Enabled()) return false;
  events_.OnClick(id);
  return true;
}

bool MemoryTimer::Fire() {
  if (!enabled_ || parked_) return false;
  on_tick_();
  return true;
}

}  // namespace tllink::platform::memory
