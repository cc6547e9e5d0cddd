#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>

#include "platform/clipboard.h"
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
  ReadResult ReadText(std::u16string_view rich_if_containing) override;
  WriteResult ReplaceContent(ContentView current, std::uint32_t expected_sequence,
                             ContentView replacement) override;

 private:
  // What the clipboard thread hands back, taken by the GUI thread.
  struct Results {
    std::mutex mutex;
    std::optional<ReadResult> read;
    std::optional<WriteResult> write;
    std::uint32_t write_expected_sequence = 0;
  };

  std::unique_ptr<ClipboardThread> thread_;
  std::shared_ptr<Results> results_ = std::make_shared<Results>();
};

}  // namespace tllink::platform::win32
