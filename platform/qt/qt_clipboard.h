#pragma once

#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>

#include "platform/clipboard.h"

namespace tllink::platform::qt {

// The desktop's clipboard (not the primary selection) through QClipboard, text only.
class QtClipboard final : public Clipboard {
 public:
  QtClipboard();

  // Counts the clipboard's change notifications; QClipboard has no number of its own.
  std::uint32_t SequenceNumber() override { return changes_; }
  bool HasText() override;
  ReadResult ReadText() override;
  WriteResult ReplaceText(std::u16string_view current, std::uint32_t expected_sequence,
                          std::u16string_view text) override;

 private:
  QObject context_;  // ends the change connection with this object
  std::uint32_t changes_ = 1;
  QPointer<QMimeData> ours_;  // what this program put there, while the clipboard keeps it
  // The X11 owner of the content last read, and the change count it was read at.
  std::uint32_t read_sequence_ = 0;
  std::uint32_t read_owner_ = 0;
};

// QClipboard's change signal for the clipboard (not the selection), while this object lives.
class QtClipboardWatch final : public ClipboardWatch {
 public:
  QtClipboardWatch(std::function<void()> on_change, std::function<bool()> ending);

 private:
  QObject context_;  // ends the connection with this object
};

}  // namespace tllink::platform::qt
