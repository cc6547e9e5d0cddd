#include <new>

#include "app/form1.h"
#include "app/rewrite.h"
#include "settings/form2.h"

namespace tllink {

namespace {

class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void Form1::Timer2_Timer() {
  // A message box opened by a failure report pumps messages; ticks must not nest.
  if (in_tick_) return;
  ScopedFlag in_tick(in_tick_);

  if (ST == 0) ShowBalloon(u"以啟動...");
  ST = 1;

  using Clipboard = platform::Clipboard;
  Clipboard& clipboard = toolkit_.GetClipboard();
  const std::u16string& find_text = form2_.temp1;
  const std::u16string& replacement = form2_.temp2;

  // Idle ticks cost one sequence query: the clipboard is left alone unless it or the rule changed.
  const std::uint32_t sequence = clipboard.SequenceNumber();
  if (last_check_ && last_check_->sequence == sequence && last_check_->find_text == find_text &&
      last_check_->replacement == replacement) {
    return;
  }
  const auto remember = [&](std::uint32_t seen) {
    last_check_ = LastCheck{seen, find_text, replacement};
  };

  if (!clipboard.HasText()) {
    remember(sequence);
    return;
  }
  Clipboard::ReadResult read = clipboard.ReadText();
  switch (read.status) {
    case Clipboard::ReadStatus::Ok:
      break;
    case Clipboard::ReadStatus::NoText:
    case Clipboard::ReadStatus::Excluded:
      remember(read.sequence);
      return;
    case Clipboard::ReadStatus::Busy:
    case Clipboard::ReadStatus::Failed:
      return;  // the next tick tries again
  }
  remember(read.sequence);
  if (read.written_by_us) return;  // our own rewrite is never rewritten again
  clipText = std::move(read.text);

  if (clipText.empty() || clipText.find(find_text) == std::u16string::npos) return;

  std::u16string rewritten;
  try {
    rewritten = ReplaceAll(clipText, find_text, replacement);
  } catch (const std::bad_alloc&) {
    return;  // the user's text stays as it is
  }
  if (rewritten == clipText) return;

  ShowBalloon(u"以轉換...");
  convertedText = std::move(rewritten);
  const Clipboard::WriteResult written = clipboard.ReplaceText(convertedText, read.sequence);
  switch (written.status) {
    case Clipboard::WriteStatus::Ok:
      remember(written.sequence);
      break;
    case Clipboard::WriteStatus::Busy:
      last_check_.reset();  // try the same text again on the next tick
      break;
    case Clipboard::WriteStatus::Changed:
    case Clipboard::WriteStatus::Failed:
      break;  // a newer copy is handled by the next tick; a failure is not retried
  }
}

}  // namespace tllink
