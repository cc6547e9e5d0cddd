#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "platform/clipboard.h"

namespace tllink::platform::memory {

// A clipboard shared with imaginary other programs. Every change moves the sequence number,
// as on Windows (emptying and setting are two changes).
class MemoryClipboard final : public Clipboard {
 public:
  std::uint32_t SequenceNumber() override { return sequence_; }
  bool HasText() override { return text_.has_value(); }
  ReadResult ReadText() override;
  WriteResult ReplaceText(std::u16string_view current, std::uint32_t expected_sequence,
                          std::u16string_view text) override;

  // Another program copies.
  void CopyText(std::u16string text);
  void CopyOther(std::string format);          // non-text content such as "image/png"
  void CopyExcludedText(std::u16string text);  // text marked "do not monitor"
  void Clear();

  std::optional<std::u16string> Text() const { return text_; }
  const std::set<std::string>& OtherFormats() const { return other_formats_; }
  bool OwnedByUs() const { return owned_by_us_; }
  int Opens() const { return opens_; }
  int Writes() const { return writes_; }

  // The watching program hears of every change, as a clipboard format listener does.
  void SetWatcher(std::function<void()> on_change) { on_change_ = std::move(on_change); }

  // Faults: the next `n` opens find the clipboard held by another program.
  void HoldOpenByOtherProgram(int n) { busy_opens_ = n; }
  void FailReads(bool fail) { fail_reads_ = fail; }
  // The next read runs out of memory, as reading a huge text can.
  void ThrowOnNextRead() { throw_on_read_ = true; }
  // Setting the text fails after the clipboard was emptied.
  void FailSets(bool fail) { fail_sets_ = fail; }
  // Runs between a read and the write that follows it (another program copying in between).
  void BeforeNextWrite(std::function<void()> action) { before_write_ = std::move(action); }

 private:
  bool TakeBusyOpen();
  void Changed(int changes = 1);

  std::optional<std::u16string> text_;
  std::set<std::string> other_formats_;
  bool excluded_ = false;
  bool owned_by_us_ = false;
  std::uint32_t sequence_ = 1;
  int opens_ = 0;
  int writes_ = 0;
  int busy_opens_ = 0;
  bool fail_reads_ = false;
  bool throw_on_read_ = false;
  bool fail_sets_ = false;
  std::function<void()> before_write_;
  std::function<void()> on_change_;
};

}  // namespace tllink::platform::memory
