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

Clipboard::ReadResult MemoryClipboard::Read(RequestId request,
                                            std::u16string_view rich_if_containing) {
  ReadResult result;
  result.request = request;
  result.sequence = sequence_;
  result.asked_with = rich_if_containing;
  // The format query needs no open.
  if (!text_) {
    result.status = ReadStatus::NoText;
    return result;
  }
  ++opens_;
  if (std::exchange(throw_on_read_, false)) throw std::bad_alloc();
  if (late_owner_) {
    waiting_.push_back(Waiting{
        request, false, sequence_, {}, {*text_, rich_}, std::u16string(rich_if_containing)});
    result.status = ReadStatus::Pending;
    return result;
  }
  if (TakeBusyOpen()) {
    result.status = ReadStatus::Busy;
    return result;
  }
  return ReadNow(std::move(result));
}

// `result` completed with the content as it is now.
Clipboard::ReadResult MemoryClipboard::ReadNow(ReadResult result) {
  const std::u16string_view rich_if_containing = result.asked_with;
  if (fail_reads_) {
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
  }
  return result;
}

Clipboard::WriteResult MemoryClipboard::Replace(RequestId request, ContentView current,
                                                std::uint32_t expected_sequence,
                                                ContentView replacement) {
  WriteResult result;
  result.request = request;
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
  return StartWrite(request, current, replacement);
}

Clipboard::WriteResult MemoryClipboard::TakeBack(RequestId request, ContentView conversion,
                                                 std::uint32_t conversion_sequence,
                                                 ContentView original) {
  WriteResult result;
  result.request = request;
  ++opens_;
  if (TakeBusyOpen()) {
    result.status = WriteStatus::Busy;
    return result;
  }
  // Only over this program's own conversion, still there.
  if (sequence_ != conversion_sequence || !owned_by_us_) {
    result.status = WriteStatus::Changed;
    return result;
  }
  return StartWrite(request, conversion, original);
}

Clipboard::WriteResult MemoryClipboard::StartWrite(RequestId request, ContentView current,
                                                   ContentView replacement) {
  if (refuse_writes_) {
    ++refused_writes_;
    Changed();
    WriteResult result;
    result.request = request;
    result.status = WriteStatus::Failed;
    return result;
  }
  if (late_owner_) {
    // Emptying tells the owner its content goes, and waits for its answer.
    waiting_.push_back(Waiting{request, true, sequence_, Copy(current), Copy(replacement), {}});
    WriteResult result;
    result.request = request;
    result.status = WriteStatus::Pending;
    return result;
  }
  return Write(request, Copy(current), Copy(replacement));
}

Clipboard::WriteResult MemoryClipboard::Write(RequestId request, const Content& current,
                                              const Content& replacement) {
  WriteResult result;
  result.request = request;
  late_owner_ = false;
  other_formats_.clear();
  excluded_ = false;
  // Emptying made this program the clipboard's owner, as on Windows.
  owned_by_us_ = true;
  if (fail_sets_) {
    // Emptied, then the set failed: what was there is put back.
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

std::optional<Clipboard::Delivered> MemoryClipboard::TakeDelivered() {
  return delivered_.Take();
}

void MemoryClipboard::Deliver() {
  if (waiting_.empty()) return;
  while (!waiting_.empty()) {
    Waiting waited = std::move(waiting_.front());
    waiting_.pop_front();
    if (waited.write) {
      // A write finds out only now whether the content it replaces is still there.
      if (sequence_ != waited.sequence) {
        delivered_.Add(WriteResult{waited.request, WriteStatus::Changed, 0});
      } else {
        delivered_.Add(Write(waited.request, waited.current, waited.content));
      }
    } else {
      ReadResult read{waited.request,
                      ReadStatus::Ok,
                      std::move(waited.content.text),
                      {},
                      waited.sequence,
                      std::move(waited.asked_with)};
      if (fail_reads_) {
        read.status = ReadStatus::Failed;
        read.text.clear();
      } else if (!read.asked_with.empty() &&
                 read.text.find(read.asked_with) != std::u16string::npos) {
        read.rich = std::move(waited.content.rich);
        if (!read.rich.empty()) ++rich_reads_;
      }
      delivered_.Add(std::move(read));
    }
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

void MemoryClipboard::CopyTextLate(std::u16string text, std::vector<RichFormat> rich) {
  Copied(std::move(text), std::move(rich), false, true);
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
