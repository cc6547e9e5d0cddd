#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/memory/fault_plan.h"
#include "platform/menu.h"
#include "platform/timer.h"
#include "platform/window.h"

namespace tllink::platform::memory {

class MemoryControl final : public Control {
 public:
  MemoryControl(const ControlLayout& layout, WindowHandle handle, const FaultPlan& faults)
      : layout_(layout), handle_(handle), text_(layout.caption), faults_(faults) {}

  WindowHandle Handle() const override { return handle_; }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override;
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  std::u16string Text() const override { return text_; }
  void SetText(std::u16string_view text) override;
  ScaleMode GetScaleMode() const override { return layout_.scale_mode; }

  const ControlLayout& Layout() const { return layout_; }

 private:
  ControlLayout layout_;
  WindowHandle handle_;
  bool visible_ = true;
  bool enabled_ = true;
  std::u16string text_;
  const FaultPlan& faults_;
};

class MemoryMenu final : public Menu {
 public:
  explicit MemoryMenu(std::vector<MenuItemLayout> items) : items_(std::move(items)) {}
  bool Enabled(MenuItemId id) const override;
  void SetEnabled(MenuItemId id, bool enabled) override;
  const std::vector<MenuItemLayout>& Items() const { return items_; }

 private:
  std::vector<MenuItemLayout> items_;
  std::map<MenuItemId, bool> disabled_;
};

// Decides what the user picks from an open pop-up menu; nothing means the menu is dismissed.
using MenuChooser = std::function<std::optional<MenuItemId>(MemoryMenu&)>;

class MemoryWindow final : public Window {
 public:
  MemoryWindow(const WindowLayout& layout, WindowEvents& events, WindowHandle handle,
               WindowHandle& next_handle, const FaultPlan& faults, const MenuChooser& chooser);

  WindowHandle Handle() const override { return handle_; }
  std::u16string Caption() const override { return layout_.caption; }
  IconHandle Icon() const override { return layout_.has_icon ? kAppIcon : 0; }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override;
  Control& GetControl(ControlId id) override;
  std::optional<MenuItemId> PopupMenu(Menu& menu) override;

  // The user clicks a control: only a shown, enabled control in a shown window takes it.
  bool UserClick(ControlId id);
  WindowEvents& Events() { return events_; }
  const WindowLayout& Layout() const { return layout_; }
  MemoryControl& GetMemoryControl(ControlId id);
  int PopupCount() const { return popups_; }

  static constexpr IconHandle kAppIcon = 0x1C0;

 private:
  WindowLayout layout_;
  WindowEvents& events_;
  WindowHandle handle_;
  bool visible_ = false;
  std::map<ControlId, std::unique_ptr<MemoryControl>> controls_;
  const FaultPlan& faults_;
  const MenuChooser& chooser_;
  int popups_ = 0;
};

class MemoryTimer final : public Timer {
 public:
  MemoryTimer(int interval_ms, std::function<void()> on_tick)
      : interval_ms_(interval_ms), on_tick_(std::move(on_tick)) {}
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    parked_ = false;
  }
  void SetParked(bool parked) override { parked_ = enabled_ && parked; }
  int IntervalMs() const { return interval_ms_; }
  // One period: the tick runs if the timer is enabled and not parked; returns whether it ran.
  bool Fire();

 private:
  int interval_ms_;
  std::function<void()> on_tick_;
  bool enabled_ = false;
  bool parked_ = false;
};

}  // namespace tllink::platform::memory
