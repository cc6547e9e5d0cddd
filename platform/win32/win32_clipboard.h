#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/clipboard.h"
#include "platform/delivered_results.h"
#include "platform/win32/clipboard_thread.h"

namespace tllink::platform::win32 {

// The Windows clipboard: CF_UNICODETEXT, and "HTML Format" and "Rich Text Format" beside it. Every
// open, read and write runs on the clipboard thread; the GUI thread only starts them and takes
// their results.
class Win32Clipboard final : public Clipboard {
 public:
  // Posted to the notify window when a read or write has its result.
  static constexpr UINT kDeliveredMessage = WM_APP + 0x20;

  // The window told of results; the clipboard is used only once it has one.
  void SetNotifyWindow(HWND window);

  std::uint32_t SequenceNumber() override;
  ReadResult Read(RequestId request, std::u16string_view rich_if_containing) override;
  WriteResult Replace(RequestId request, ContentView current, std::uint32_t expected_sequence,
                      ContentView replacement) override;
  WriteResult TakeBack(RequestId request, ContentView conversion, std::uint32_t conversion_sequence,
                       ContentView original) override;
  std::optional<Delivered> TakeDelivered() override;

 private:
  // What the clipboard thread hands back, taken by the GUI thread.
  struct Results {
    std::mutex mutex;
    DeliveredResults delivered;
  };

  // Runs `job` on the clipboard thread; its result, or `if_thrown`, is delivered.
  bool StartJob(std::function<Delivered(HWND)> job, Delivered if_thrown);
  WriteResult StartWrite(RequestId request, ContentView current, std::uint32_t expected_sequence,
                         ContentView replacement, bool only_over_own);

  std::unique_ptr<ClipboardThread> thread_;
  std::shared_ptr<Results> results_ = std::make_shared<Results>();
};

}  // namespace tllink::platform::win32
