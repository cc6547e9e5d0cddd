#include <new>
#include <utility>

#include "app/form1.h"
#include "app/report_failure.h"
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

// A write that fails is tried again on the following ticks, but not forever: each try empties
// the clipboard and puts the user's text back, which other programs see as a new copy.
constexpr int kWriteTries = 3;

}  // namespace

void Form1::RunTimer2() noexcept {
  // Ticks never overlap: a failure report opens a message box whose loop goes on dispatching
  // timer messages, so the guard covers the report as well as the tick.
  if (in_tick_) return;
  const ScopedFlag in_tick(in_tick_);
  RunReportingFailures(toolkit_, [this] { Timer2_Timer(); });
}

void Form1::OnClipboardChange() noexcept {
  // Only a running program looks; while it runs, Timer2 still catches what a notification missed.
  if (!Timer2().Enabled()) return;
  // One copy arrives as several changes (formats set one by one; Wine imports an X11 copy
  // twice), and opening the clipboard between them races the writer: the tick runs once the
  // changes have stopped for a moment, not at the first one.
  try {
    clipboard_settle_->SetEnabled(false);
    clipboard_settle_->SetEnabled(true);
  } catch (...) {
    // Without the settle timer the change waits for Timer2's next tick, as it always could.
  }
}

void Form1::OnClipboardSettled() noexcept {
  try {
    clipboard_settle_->SetEnabled(false);
  } catch (...) {
    // Disabling a timer does not fail in practice; a tick more would be harmless.
  }
  if (Timer2().Enabled()) RunTimer2();
}

void Form1::Timer2_Timer() {
  if (ST == 0) ShowBalloon(u"以啟動...");
  ST = 1;

  if (pending_write_) {
    WriteConvertedText(*std::exchange(pending_write_, std::nullopt));
    return;
  }

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

  if (!clipboard.HasText()) {
    RememberCheck(sequence);
    return;
  }
  Clipboard::ReadResult read = clipboard.ReadText();
  switch (read.status) {
    case Clipboard::ReadStatus::Ok:
      break;
    case Clipboard::ReadStatus::NoText:
    case Clipboard::ReadStatus::Excluded:
      RememberCheck(read.sequence);
      return;
    case Clipboard::ReadStatus::Busy:
    case Clipboard::ReadStatus::Failed:
      return;  // the next tick tries again
  }
  RememberCheck(read.sequence);
  // Owning the clipboard is not enough: after a failed write the program owns the user's text,
  // put back as it was, and that text still waits to be rewritten.
  if (read.owned_by_us && left_own_rewrite_) return;
  if (!read.owned_by_us) failed_writes_ = 0;  // a new copy by another program
  clipText = std::move(read.text);

  if (clipText.empty() || clipText.find(find_text) == std::u16string::npos) return;

  std::u16string rewritten;
  try {
    rewritten = ReplaceAll(clipText, find_text, replacement);
  } catch (const std::bad_alloc&) {
    return;  // the user's text stays as it is
  }
  if (rewritten == clipText) return;
  convertedText = std::move(rewritten);

  // Reading and rewriting a text this large keeps the GUI thread busy for a while (seconds,
  // under Wine): the write waits for the next tick, and the window answers in between.
  if (clipText.size() >= kLargeTextUnits) {
    pending_write_ = read.sequence;
    return;
  }
  WriteConvertedText(read.sequence);
}

void Form1::WriteConvertedText(std::uint32_t expected_sequence) {
  using Clipboard = platform::Clipboard;
  Clipboard& clipboard = toolkit_.GetClipboard();
  const Clipboard::WriteResult written =
      clipboard.ReplaceText(clipText, expected_sequence, convertedText);
  switch (written.status) {
    case Clipboard::WriteStatus::Ok:
      left_own_rewrite_ = true;
      failed_writes_ = 0;
      RememberCheck(written.sequence);
      // Announced once the rewritten text is there, never for a write that did not happen.
      ShowBalloon(u"以轉換...");
      break;
    case Clipboard::WriteStatus::Busy:
      last_check_.reset();  // the same text is tried again on the next tick
      break;
    case Clipboard::WriteStatus::Changed:
      break;  // the newer copy is handled by the next tick
    case Clipboard::WriteStatus::Failed:
      left_own_rewrite_ = false;
      if (++failed_writes_ < kWriteTries) {
        last_check_.reset();  // the user's text is tried again on the next tick
      } else {
        RememberCheck(clipboard.SequenceNumber());  // then left alone until the clipboard changes
      }
      break;
  }
}

void Form1::RememberCheck(std::uint32_t sequence) {
  last_check_ = LastCheck{sequence, form2_.temp1, form2_.temp2};
}

}  // namespace tllink
