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

Clipboard::ReadResult MemoryClipboard::ReadText() {
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
  } else if (late_owner_) {
    waiting_ = Waiting{false, sequence_, {}, *text_};
    result.status = ReadStatus::Pending;
  } else {
    result.status = ReadStatus::Ok;
    result.text = *text_;
  }
  return result;
}

Clipboard::WriteResult MemoryClipboard::ReplaceText(std::u16string_view current,
                                                    std::uint32_t expected_sequence,
                                                    std::u16string_view text) {
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
    waiting_ = Waiting{true, expected_sequence, std::u16string(current), std::u16string(text)};
    result.status = WriteStatus::Pending;
    return result;
  }
  return Write(current, text);
}

Clipboard::WriteResult MemoryClipboard::Write(std::u16string_view current,
                                              std::u16string_view text) {
  WriteResult result;
  late_owner_ = false;
  other_formats_.clear();
  excluded_ = false;
  // Emptying made this program the clipboard's owner, as on Windows.
  owned_by_us_ = true;
  if (fail_sets_) {
    // Emptied, then the set failed: the text is put back, and only the text.
    text_ = std::u16string(current);
    Changed(2);
    result.status = WriteStatus::Failed;
    return result;
  }
  text_ = std::u16string(text);
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
    write_answer_ = Write(waited.current, waited.text);
  } else {
    read_answer_ = ReadResult{ReadStatus::Ok, waited.text, waited.sequence};
  }
  if (events_.on_delivered) events_.on_delivered();
}

void MemoryClipboard::Copied(std::optional<std::u16string> text, bool excluded, bool late) {
  text_ = std::move(text);
  other_formats_.clear();
  excluded_ = excluded;
  late_owner_ = late;
  owned_by_us_ = false;
  Changed();
}

void MemoryClipboard::CopyText(std::u16string text) {
  Copied(std::move(text));
}

void MemoryClipboard::CopyTextLate(std::u16string text) {
  Copied(std::move(text), false, true);
}

void MemoryClipboard::CopyOther(std::string format) {
  Copied(std::nullopt);
  other_formats_ = {std::move(format)};
}

void MemoryClipboard::CopyExcludedText(std::u16string text) {
  Copied(std::move(text), true);
}

void MemoryClipboard::Clear() {
  Copied(std::nullopt);
}

}  // namespace tllink::platform::memory
