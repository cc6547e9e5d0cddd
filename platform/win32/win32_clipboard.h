#pragma once

#include <windows.h>

#include "platform/clipboard.h"
#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

// The Windows clipboard, CF_UNICODETEXT only, opened with the program's main window.
class Win32Clipboard final : public Clipboard {
 public:
  // The window that opens the clipboard and so owns what the program puts there.
  void SetOwner(HWND owner) { owner_ = owner; }

  std::uint32_t SequenceNumber() override;
  bool HasText() override;
  ReadResult ReadText() override;
  WriteResult ReplaceText(std::u16string_view current, std::uint32_t expected_sequence,
                          std::u16string_view text) override;

 private:
  WriteStatus ReplaceWhileOpen(UniqueGlobal& replacement, UniqueGlobal& previous,
                               std::uint32_t expected_sequence);

  HWND owner_ = nullptr;
};

}  // namespace tllink::platform::win32
