#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "platform/clipboard.h"
#include "platform/delivered_results.h"

namespace tllink::platform::memory {

// A clipboard shared with imaginary other programs. Every change moves the sequence number,
// as on Windows (emptying and setting are two changes).
class MemoryClipboard final : public Clipboard {
 public:
  std::uint32_t SequenceNumber() override { return sequence_; }
  ReadResult Read(RequestId request, std::u16string_view rich_if_containing) override;
  WriteResult Replace(RequestId request, ContentView current, std::uint32_t expected_sequence,
                      ContentView replacement) override;
  WriteResult TakeBack(RequestId request, ContentView conversion, std::uint32_t conversion_sequence,
                       ContentView original) override;
  std::optional<Delivered> TakeDelivered() override;

  // Another program copies.
  void CopyText(std::u16string text);
  void CopyRich(std::u16string text, std::vector<RichFormat> rich);  // text with rich formats
  void CopyOther(std::string format);          // non-text content such as "image/png"
  void CopyExcludedText(std::u16string text);  // text marked "do not monitor"
  void Clear();
  // Another program copies `text` (with `rich`) and is slow to answer whatever it is asked: each
  // read of its content, and each emptying of the clipboard (which tells the owner), completes
  // only at a Deliver().
  void CopyTextLate(std::u16string text, std::vector<RichFormat> rich = {});
  // The slow owner answers: every request waiting for it completes, in the order asked, and the
  // watcher hears.
  void Deliver();

  std::optional<std::u16string> Text() const { return text_; }
  const std::vector<RichFormat>& Rich() const { return rich_; }
  // How often a read asked for the rich formats of a copy that has them.
  int RichReads() const { return rich_reads_; }
  const std::set<std::string>& OtherFormats() const { return other_formats_; }
  bool OwnedByUs() const { return owned_by_us_; }
  int Opens() const { return opens_; }
  int Writes() const { return writes_; }

  // The watching program hears of every change, as a clipboard format listener does, and of
  // every result of a read or write that was Pending.
  void SetWatcher(ClipboardEvents events) { events_ = std::move(events); }

  // Faults: the next `n` opens find the clipboard held by another program.
  void HoldOpenByOtherProgram(int n) { busy_opens_ = n; }
  // Reads fail, as one that runs out of memory does; a read waiting for a slow owner fails
  // when it completes.
  void FailReads(bool fail) { fail_reads_ = fail; }
  // The next read runs out of memory on the calling thread.
  void ThrowOnNextRead() { throw_on_read_ = true; }
  // Setting the text fails after the clipboard was emptied.
  void FailSets(bool fail) { fail_sets_ = fail; }
  // The other program stays the owner, as an X server refuses a new one: a write fails and
  // changes nothing, though a change is reported.
  void RefuseWrites(bool refuse) { refuse_writes_ = refuse; }
  int RefusedWrites() const { return refused_writes_; }
  // Runs between a read and the write that follows it (another program copying in between).
  void BeforeNextWrite(std::function<void()> action) { before_write_ = std::move(action); }

 private:
  struct Content {
    std::u16string text;
    std::vector<RichFormat> rich;
  };
  // A request the slow owner has not answered yet.
  struct Waiting {
    RequestId request = 0;
    bool write = false;
    std::uint32_t sequence = 0;  // of the content read, or expected by the write
    Content current;             // write: what to put back should the set fail
    Content content;             // read: the owner's; write: what to set
    std::u16string asked_with;   // read: the find text it was asked with
  };
  static Content Copy(ContentView view);
  bool TakeBusyOpen();
  void Changed(int changes = 1);
  void Copied(std::optional<std::u16string> text, std::vector<RichFormat> rich = {},
              bool excluded = false, bool late = false);
  ReadResult ReadNow(ReadResult result);
  WriteResult Write(RequestId request, const Content& current, const Content& replacement);
  WriteResult StartWrite(RequestId request, ContentView current, ContentView replacement);

  std::optional<std::u16string> text_;
  std::vector<RichFormat> rich_;
  int rich_reads_ = 0;
  std::set<std::string> other_formats_;
  bool excluded_ = false;
  bool late_owner_ = false;
  bool owned_by_us_ = false;
  std::uint32_t sequence_ = 1;
  std::deque<Waiting> waiting_;
  DeliveredResults delivered_;
  int opens_ = 0;
  int writes_ = 0;
  int busy_opens_ = 0;
  bool fail_reads_ = false;
  bool throw_on_read_ = false;
  bool fail_sets_ = false;
  bool refuse_writes_ = false;
  int refused_writes_ = 0;
  std::function<void()> before_write_;
  ClipboardEvents events_;
};

}  // namespace tllink::platform::memory
