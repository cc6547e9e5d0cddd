#include "platform/memory/memory_clipboard.h"

#include <new>
#include <utility>

namespace tllink::platform::memory {

void MemoryClipboard::Changed(int changes) {
  sequence_ += static_cast<std::uint32_t>(changes);
  if (on_change_) on_change_();
}

bool MemoryClipboard::TakeBusyOpen() {
  if (busy_opens_ == 0) return false;
  --busy_opens_;
  return true;
}

Clipboard::ReadResult MemoryClipboard::ReadText() {
  ++opens_;
  if (std::exchange(throw_on_read_, false)) throw std::bad_alloc();
  ReadResult result;
  result.sequence = sequence_;
  if (TakeBusyOpen()) {
    result.status = ReadStatus::Busy;
  } else if (fail_reads_) {
    result.status = ReadStatus::Failed;
  } else if (excluded_) {
    result.status = ReadStatus::Excluded;
  } else if (!text_) {
    result.status = ReadStatus::NoText;
  } else {
    result.status = ReadStatus::Ok;
    result.text = *text_;
    result.owned_by_us = owned_by_us_;
  }
  return result;
}

Clipboard::WriteResult MemoryClipboard::ReplaceText(std::u16string_view current,
                                                    std::uint32_t expected_sequence,
                                                    std::u16string_view text) {
  if (before_write_) std::exchange(before_write_, nullptr)();
  ++opens_;
  WriteResult result;
  if (TakeBusyOpen()) {
    result.status = WriteStatus::Busy;
    return result;
  }
  if (sequence_ != expected_sequence) {
    result.status = WriteStatus::Changed;
    return result;
  }
  if (fail_sets_) {
    // Emptied, then the set failed: the text is put back, and only the text. Emptying made this
    // program the clipboard's owner, as on Windows.
    text_ = std::u16string(current);
    other_formats_.clear();
    owned_by_us_ = true;
    Changed(2);
    result.status = WriteStatus::Failed;
    return result;
  }
  text_ = std::u16string(text);
  other_formats_.clear();
  excluded_ = false;
  owned_by_us_ = true;
  ++writes_;
  Changed(2);
  result.status = WriteStatus::Ok;
  result.sequence = sequence_;
  return result;
}

void MemoryClipboard::CopyText(std::u16string text) {
  text_ = std::move(text);
  other_formats_.clear();
  excluded_ = false;
  owned_by_us_ = false;
  Changed();
}

void MemoryClipboard::CopyOther(std::string format) {
  text_.reset();
  other_formats_ = {std::move(format)};
  excluded_ = false;
  owned_by_us_ = false;
  Changed();
}

void MemoryClipboard::CopyExcludedText(std::u16string text) {
  CopyText(std::move(text));
  excluded_ = true;
}

void MemoryClipboard::Clear() {
  text_.reset();
  other_formats_.clear();
  excluded_ = false;
  owned_by_us_ = false;
  Changed();
}

}  // namespace tllink::platform::memory
