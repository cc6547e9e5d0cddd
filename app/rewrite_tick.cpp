#include <functional>
#include <new>
#include <optional>
#include <utility>
#include <variant>

#include "app/form1.h"
#include "app/report_failure.h"
#include "app/rewrite.h"
#include "app/rich_formats.h"
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
  if (in_tick_) {
    tick_missed_ = true;
    return;
  }
  const ScopedFlag in_tick(in_tick_);
  tick_missed_ = false;
  RunReportingFailures(toolkit_, [this] { Timer2_Timer(); });
  ParkTimer2WhileIdle();
}

void Form1::ParkTimer2WhileIdle() noexcept {
  // Waiting for a change, a tick only compares the sequence number, which moves with the change
  // notices that run the tick anyway: where the watch tells of every change, Timer2's own ticks
  // can sleep (twenty wake-ups a second show on a laptop's battery). A text to read again, a
  // write to do or to try again, or a notice the last tick may have missed needs them.
  const bool idle = tick_.awaiting == Awaiting::kChange && !tick_missed_ &&
                    clipboard_watch_ != nullptr && clipboard_watch_->TellsEveryChange();
  try {
    Timer2().SetParked(idle);
  } catch (...) {
    // A timer that cannot park goes on ticking, as it always did.
  }
}

void Form1::OnClipboardChange() noexcept {
  // Only a running program looks; where a notification can go missing, Timer2 still catches it.
  if (!Timer2().Enabled()) return;
  // One copy arrives as several changes (formats set one by one; Wine imports an X11 copy
  // twice), and opening the clipboard between them races the writer: the tick runs once the
  // changes have stopped for a moment, not at the first one.
  try {
    clipboard_settle_->SetEnabled(false);
    clipboard_settle_->SetEnabled(true);
  } catch (...) {
    // Without the settle timer the change waits for Timer2's next tick, which must come.
    try {
      Timer2().SetParked(false);
    } catch (...) {
      // Unparking does not fail in practice; there is nothing more to try.
    }
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

void Form1::OnClipboardDelivered() noexcept {
  // A result is no burst of changes: the tick takes it at once.
  if (Timer2().Enabled()) RunTimer2();
}

void Form1::Timer2_Timer() {
  if (ST == 0) ShowBalloon(u"以啟動...");
  ST = 1;

  // A result is this tick's work; anything it leaves to do waits for the next tick, which a
  // change of the clipboard meanwhile may still be settling for.
  if (TakeDeliveredResults()) return;
  platform::Clipboard& clipboard = toolkit_.GetClipboard();
  switch (tick_.awaiting) {
    case Awaiting::kChange:
      // Idle ticks cost one sequence query: the clipboard is left alone unless it or the rule
      // changed.
      if (clipboard.SequenceNumber() == tick_.copy && tick_.rule.find_text == form2_.temp1 &&
          tick_.rule.replacement == form2_.temp2) {
        return;
      }
      ReadClipboardText();
      return;
    case Awaiting::kText:
      // A read under way for the copy there now and the rule of now: its delivery runs the tick.
      // Anything else makes it useless, and the current copy is asked for instead.
      if (tick_.request != 0 && clipboard.SequenceNumber() == tick_.copy &&
          tick_.rule.find_text == form2_.temp1) {
        return;
      }
      ReadClipboardText();
      return;
    case Awaiting::kWrite:
      if (tick_.request != 0) return;  // its delivery runs the tick
      WriteClipboard();
      return;
  }
}

bool Form1::TakeDeliveredResults() {
  platform::Clipboard& clipboard = toolkit_.GetClipboard();
  bool taken = false;
  while (std::optional<platform::Clipboard::Delivered> delivered = clipboard.TakeDelivered()) {
    std::visit(
        [this, &taken](auto& result) {
          // The answer to a request the tick no longer waits for is of no use.
          if (result.request == 0 || result.request != tick_.request) return;
          tick_.request = 0;
          taken = true;
          Take(std::move(result));
        },
        *delivered);
  }
  return taken;
}

void Form1::ReadClipboardText() {
  using Clipboard = platform::Clipboard;
  Clipboard& clipboard = toolkit_.GetClipboard();
  const std::uint32_t copy = clipboard.SequenceNumber();
  const Clipboard::RequestId request = ++last_request_;
  Clipboard::ReadResult read = clipboard.Read(request, form2_.temp1);
  tick_ = TickState{Awaiting::kText, copy, Rule{form2_.temp1, form2_.temp2}};
  if (read.status == Clipboard::ReadStatus::Pending) {
    tick_.request = request;  // its delivery runs the tick
    return;
  }
  Take(std::move(read));
}

void Form1::Take(platform::Clipboard::ReadResult read) {
  using Clipboard = platform::Clipboard;
  switch (read.status) {
    case Clipboard::ReadStatus::Ok:
      break;
    case Clipboard::ReadStatus::Pending:  // not an answer
    case Clipboard::ReadStatus::Busy:
      return;                            // the next tick reads again
    case Clipboard::ReadStatus::Failed:  // reading this copy again would fail again
    case Clipboard::ReadStatus::NoText:
    case Clipboard::ReadStatus::Excluded:
      ForgetRichFormats();
      AwaitChangeFrom(read.sequence);
      return;
  }
  // Its rich formats were chosen for another find text: the copy is read again for this one.
  if (read.asked_with != form2_.temp1) {
    ReadClipboardText();
    return;
  }
  // A text that arrives late may have been copied over meanwhile: the newer copy is read instead.
  if (read.sequence != toolkit_.GetClipboard().SequenceNumber()) return;
  AwaitChangeFrom(read.sequence);
  // The program's own text, put back by whoever: converting it again would convert it twice.
  if (written_text_ == FingerprintOf(read.text)) return;
  // The copy a balloon click put back stays as it is.
  if (taken_back_ == read.sequence) return;
  if (read.text != clipText) failed_writes_ = 0;  // another copy
  clipText = std::move(read.text);
  clip_rich_ = std::move(read.rich);
  converted_rich_.clear();
  if (failed_writes_ >= kWriteTries) return;  // given up until the next copy
  ConvertText(read.sequence);
}

void Form1::ConvertText(std::uint32_t copy) {
  const std::u16string& find_text = form2_.temp1;
  // An empty find text converts nothing: there is nothing to replace.
  if (find_text.empty() || clipText.find(find_text) == std::u16string::npos) return;
  std::u16string rewritten;
  try {
    rewritten = ReplaceAll(clipText, find_text, form2_.temp2);
    converted_rich_ = RewriteRichFormats(clip_rich_, find_text, form2_.temp2);
  } catch (const std::bad_alloc&) {
    return;  // the user's copy stays as it is
  }
  if (rewritten == clipText) return;
  convertedText = std::move(rewritten);

  tick_.awaiting = Awaiting::kWrite;
  tick_.copy = copy;
  // Reading and rewriting a text this large keeps the GUI thread busy for a while (seconds,
  // under Wine): the write waits for the next tick, and the window answers in between.
  if (clipText.size() >= kLargeTextUnits) return;
  WriteClipboard();
}

void Form1::WriteClipboard() {
  using Clipboard = platform::Clipboard;
  Clipboard& clipboard = toolkit_.GetClipboard();
  const platform::ContentView read{clipText, clip_rich_};
  const platform::ContentView converted{convertedText, converted_rich_};
  const Clipboard::RequestId request = ++last_request_;
  const Clipboard::WriteResult written =
      tick_.taking_back ? clipboard.TakeBack(request, converted, tick_.copy, read)
                        : clipboard.Replace(request, read, tick_.copy, converted);
  if (written.status == Clipboard::WriteStatus::Pending) {
    tick_.request = request;  // its delivery runs the tick
    return;
  }
  Take(written);
}

void Form1::Take(platform::Clipboard::WriteResult written) {
  using Clipboard = platform::Clipboard;
  Clipboard& clipboard = toolkit_.GetClipboard();
  const bool back = tick_.taking_back;
  switch (written.status) {
    case Clipboard::WriteStatus::Ok:
      AwaitChangeFrom(written.sequence);
      if (back) {
        // That copy is not converted again; the same text copied anew is.
        taken_back_ = written.sequence;
        ForgetRichFormats();
        return;
      }
      written_text_ = FingerprintOf(convertedText);
      taken_back_.reset();
      failed_writes_ = 0;
      // Announced once the rewritten text is there, never for a write that did not happen.
      ShowBalloon(u"以轉換...");
      takeable_ = written.sequence;
      return;
    case Clipboard::WriteStatus::Pending:  // not an answer
    case Clipboard::WriteStatus::Busy:     // the next tick writes again
      return;
    case Clipboard::WriteStatus::Changed:
      tick_ = TickState{};  // the newer copy is read next
      return;
    case Clipboard::WriteStatus::Failed:
      if (back) {
        AwaitChangeFrom(clipboard.SequenceNumber());  // the conversion stays
        return;
      }
      // The user's copy is there, as it was; it is read and converted again on the next tick,
      // but only a few times.
      ++failed_writes_;
      if (failed_writes_ < kWriteTries) {
        tick_ = TickState{};
      } else {
        AwaitChangeFrom(clipboard.SequenceNumber());
      }
      return;
  }
}

void Form1::TakeBackConversion() {
  if (!takeable_ || tick_.awaiting != Awaiting::kChange) return;
  // Never over a newer copy: only while the conversion is still what the clipboard holds (the
  // platform checks again as it writes).
  if (toolkit_.GetClipboard().SequenceNumber() != *takeable_) return;
  const std::uint32_t conversion = *std::exchange(takeable_, std::nullopt);
  tick_ = TickState{Awaiting::kWrite, conversion, {}, 0, true};
  WriteClipboard();
  ParkTimer2WhileIdle();  // a write to try again needs Timer2's ticks
}

void Form1::ForgetRichFormats() {
  clip_rich_.clear();
  converted_rich_.clear();
  takeable_.reset();
}

Form1::TextFingerprint Form1::FingerprintOf(std::u16string_view text) {
  return {text.size(), std::hash<std::u16string_view>{}(text)};
}

void Form1::AwaitChangeFrom(std::uint32_t copy) {
  tick_ = TickState{Awaiting::kChange, copy, Rule{form2_.temp1, form2_.temp2}};
}

}  // namespace tllink
