#include "platform/memory/memory_toolkit.h"

#include <stdexcept>

namespace tllink::platform::memory {

std::unique_ptr<Window> MemoryToolkit::CreateAppWindow(const WindowLayout& layout,
                                                       WindowEvents& events) {
  faults.CheckCall("CreateAppWindow");
  ++windows_created;
  const WindowHandle handle = next_handle_++;
  return std::make_unique<MemoryWindow>(layout, events, handle, next_handle_, faults, menu_chooser);
}

std::unique_ptr<Timer> MemoryToolkit::CreateTimer(Window&, int interval_ms,
                                                  std::function<void()> on_tick) {
  faults.CheckCall("CreateTimer");
  return std::make_unique<MemoryTimer>(interval_ms, std::move(on_tick));
}

std::unique_ptr<Menu> MemoryToolkit::CreatePopupMenu(const std::vector<MenuItemLayout>& items) {
  faults.CheckCall("CreatePopupMenu");
  return std::make_unique<MemoryMenu>(items);
}

namespace {

class MemoryClipboardWatch final : public ClipboardWatch {
 public:
  MemoryClipboardWatch(MemoryClipboard& clipboard, ClipboardEvents events, bool tells_every_change)
      : clipboard_(clipboard), tells_every_change_(tells_every_change) {
    clipboard_.SetWatcher(std::move(events));
  }
  ~MemoryClipboardWatch() override { clipboard_.SetWatcher({}); }
  MemoryClipboardWatch(const MemoryClipboardWatch&) = delete;
  MemoryClipboardWatch& operator=(const MemoryClipboardWatch&) = delete;
  bool TellsEveryChange() const override { return tells_every_change_; }

 private:
  MemoryClipboard& clipboard_;
  bool tells_every_change_;
};

}  // namespace

std::unique_ptr<ClipboardWatch> MemoryToolkit::WatchClipboard(Window&, ClipboardEvents events) {
  return std::make_unique<MemoryClipboardWatch>(clipboard, std::move(events),
                                                clipboard_tells_every_change);
}

void MemoryToolkit::ShowMessage(std::u16string_view text, std::u16string_view caption) {
  messages.push_back(Message{std::u16string(text), std::u16string(caption)});
  if (while_message_shown) while_message_shown();
}

bool MemoryToolkit::PreviousInstance() {
  faults.CheckCall("PreviousInstance");
  return previous_instance;
}

void MemoryToolkit::EndNow() {
  // On a real system nothing runs after this, so a second call is a fault in the caller.
  if (ended) throw std::logic_error("the program ended twice");
  ended = true;
}

bool MemoryToolkit::SetForegroundWindow(WindowHandle window) {
  foreground_calls.push_back(window);
  return true;
}

}  // namespace tllink::platform::memory
