#include "platform/memory/memory_clipboard.h"

#include <new>
#include <utility>

namespace tllink::platform::memory {

void MemoryClipboard::Changed(int changes) {
  sequence_ += static_cast<std::uint32_t>(changes);
  if (events_.on_change) events_.on_change();
}

bool MemoryClipboard::TakeBusyOpen() {
  if (busy_opens_ == 0) return false;
  --busy_opens_;
  return true;
}

MemoryClipboard::Content MemoryClipboard::Copy(ContentView view) {
  return Content{std::u16string(view.text), {view.rich.begin(), view.rich.end()}};
}

Clipboard::ReadResult MemoryClipboard::ReadText(std::u16string_view rich_if_containing) {
  if (read_answer_) return *std::exchange(read_answer_, std::nullopt);
  ReadResult result;
  result.sequence = sequence_;
  if (waiting_ && !waiting_->write && waiting_->sequence == sequence_) {
    result.status = ReadStatus::Pending;
    return result;
  }
  // A read for content that has gone is dropped; the format query needs no open.
  waiting_.reset();
  if (!text_) {
    result.status = ReadStatus::NoText;
    return result;
  }
  ++opens_;
  if (std::exchange(throw_on_read_, false)) throw std::bad_alloc();
  if (TakeBusyOpen()) {
    result.status = ReadStatus::Busy;
  } else if (fail_reads_) {
    result.status = ReadStatus::Failed;
  } else if (excluded_) {
    result.status = ReadStatus::Excluded;
  } else {
    result.status = ReadStatus::Ok;
    result.text = *text_;
    if (!rich_if_containing.empty() && !rich_.empty() &&
        text_->find(rich_if_containing) != std::u16string::npos) {
      result.rich = rich_;
      ++rich_reads_;
    }
    if (late_owner_) {
      waiting_ =
          Waiting{false, sequence_, {}, Content{std::move(result.text), std::move(result.rich)}};
      result = ReadResult{ReadStatus::Pending, {}, {}, sequence_};
    }
  }
  return result;
}

Clipboard::WriteResult MemoryClipboard::ReplaceContent(ContentView current,
                                                       std::uint32_t expected_sequence,
                                                       ContentView replacement) {
  WriteResult result;
  if (waiting_ && waiting_->write && waiting_->sequence == expected_sequence) {
    result.status = WriteStatus::Pending;
    return result;
  }
  if (write_answer_) return *std::exchange(write_answer_, std::nullopt);
  if (before_write_) std::exchange(before_write_, nullptr)();
  ++opens_;
  if (TakeBusyOpen()) {
    result.status = WriteStatus::Busy;
    return result;
  }
  if (sequence_ != expected_sequence) {
    result.status = WriteStatus::Changed;
    return result;
  }
  if (refuse_writes_) {
    ++refused_writes_;
    Changed();
    result.status = WriteStatus::Failed;
    return result;
  }
  if (late_owner_) {
    // Emptying tells the owner its content goes, and waits for its answer.
    waiting_ = Waiting{true, expected_sequence, Copy(current), Copy(replacement)};
    result.status = WriteStatus::Pending;
    return result;
  }
  return Write(Copy(current), Copy(replacement));
}

Clipboard::WriteResult MemoryClipboard::Write(const Content& current, const Content& replacement) {
  WriteResult result;
  late_owner_ = false;
  other_formats_.clear();
  excluded_ = false;
  // Emptying made this program the clipboard's owner, as on Windows.
  owned_by_us_ = true;
  if (fail_sets_) {
    // Emptied, then the set failed: what was read is put back.
    text_ = current.text;
    rich_ = current.rich;
    Changed(2);
    result.status = WriteStatus::Failed;
    return result;
  }
  text_ = replacement.text;
  rich_ = replacement.rich;
  ++writes_;
  Changed(2);
  result.status = WriteStatus::Ok;
  result.sequence = sequence_;
  return result;
}

void MemoryClipboard::Deliver() {
  if (!waiting_) return;
  const Waiting waited = *std::exchange(waiting_, std::nullopt);
  if (waited.write) {
    write_answer_ = Write(waited.current, waited.content);
  } else {
    read_answer_ =
        ReadResult{ReadStatus::Ok, waited.content.text, waited.content.rich, waited.sequence};
  }
  if (events_.on_delivered) events_.on_delivered();
}

void MemoryClipboard::Copied(std::optional<std::u16string> text, std::vector<RichFormat> rich,
                             bool excluded, bool late) {
  text_ = std::move(text);
  rich_ = std::move(rich);
  other_formats_.clear();
  excluded_ = excluded;
  late_owner_ = late;
  owned_by_us_ = false;
  Changed();
}

void MemoryClipboard::CopyText(std::u16string text) {
  Copied(std::move(text));
}

void MemoryClipboard::CopyRich(std::u16string text, std::vector<RichFormat> rich) {
  Copied(std::move(text), std::move(rich));
}

void MemoryClipboard::CopyTextLate(std::u16string text) {
  Copied(std::move(text), {}, false, true);
}

void MemoryClipboard::CopyOther(std::string format) {
  Copied(std::nullopt);
  other_formats_ = {std::move(format)};
}

void MemoryClipboard::CopyExcludedText(std::u16string text) {
  Copied(std::move(text), {}, true);
}

void MemoryClipboard::Clear() {
  Copied(std::nullopt);
}

}  // namespace tllink::platform::memory
