#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tllink::platform {

// A rich format of a copy (HTML, RTF, a list of links): its name as the platform knows it, and
// its bytes exactly as stored.
struct RichFormat {
  std::string name;
  std::string bytes;
  friend bool operator==(const RichFormat&, const RichFormat&) = default;
};

// A copy as the program puts it on the clipboard: its text and the rich formats beside it.
struct ContentView {
  std::u16string_view text;
  std::span<const RichFormat> rich;
};

// The system clipboard: Unicode text, and the rich formats that go with it. Text is UTF-16 exactly
// as stored there: nothing is normalised, validated or converted.
//
// One exchange, the same on every platform. Each read or write the caller starts is a request
// with a token of the caller's own. A call answers at once, or says Pending: the platform then
// finishes it off the GUI thread (an owner that hands over its text, or hears that its content
// goes, may take its time), the watch's on_delivered runs, and TakeDelivered() hands over the
// result, which names its request. A newer request supersedes one still under way: the older
// one is dropped where the platform can stop it, and its result, should it still come, names
// the older request, which the caller no longer waits for. No call waits for another program.
class Clipboard {
 public:
  using RequestId = std::uint64_t;

  virtual ~Clipboard() = default;

  // Moves whenever any program changes the clipboard; cheap.
  virtual std::uint32_t SequenceNumber() = 0;

  enum class ReadStatus {
    Ok,
    Pending,   // the owner has not handed over its text yet
    Busy,      // another program holds the clipboard, or copied while it was read: read again
    NoText,    // no text (an image, files, nothing), none that can be kept exactly, or an owner
               // that never handed it over
    Excluded,  // the owner asked clipboard monitors to leave this content alone
    Failed,    // the read itself failed (out of memory, say): reading this copy again fails too
  };
  struct ReadResult {
    RequestId request = 0;
    ReadStatus status = ReadStatus::Failed;
    std::u16string text;
    std::vector<RichFormat> rich;  // the rich formats the platform rewrites, when asked for
    std::uint32_t sequence = 0;    // the sequence number of the copy the result is about
    std::u16string asked_with;     // the find text the rich formats were asked for with
  };
  // The text of the clipboard's content, and its rich formats when the text contains
  // `rich_if_containing` (not empty): only a copy that is converted needs them, and an owner may
  // make them only when asked.
  virtual ReadResult Read(RequestId request, std::u16string_view rich_if_containing) = 0;

  enum class WriteStatus {
    Ok,
    Pending,  // under way: its result is delivered
    Busy,     // another program holds the clipboard open
    Changed,  // the clipboard no longer holds the content the write was meant to replace
    Failed,   // nothing was changed, or what was there has been put back
  };
  struct WriteResult {
    RequestId request = 0;
    WriteStatus status = WriteStatus::Failed;
    std::uint32_t sequence = 0;  // after a successful write: the sequence number it produced
  };
  // Clears every format and puts `replacement` there, in one open, but only while the clipboard
  // still holds `current`, the content read with `expected_sequence`. Should `replacement` not
  // take, `current` is put back: a failure never leaves the clipboard empty.
  virtual WriteResult Replace(RequestId request, ContentView current,
                              std::uint32_t expected_sequence, ContentView replacement) = 0;
  // Puts `original` back in place of this program's own `conversion`, but only while that is
  // still what the clipboard holds (sequence number `conversion_sequence`), checked the
  // strongest way the platform allows: never over anyone else's copy. Should `original` not
  // take, `conversion` stays or is put back.
  virtual WriteResult TakeBack(RequestId request, ContentView conversion,
                               std::uint32_t conversion_sequence, ContentView original) = 0;

  // The result of a request that was Pending, once delivered; each is handed over once, in the
  // order they came. Nothing while none is there.
  using Delivered = std::variant<ReadResult, WriteResult>;
  virtual std::optional<Delivered> TakeDelivered() = 0;
};

// What a clipboard watch calls, on the GUI thread.
struct ClipboardEvents {
  std::function<void()> on_change;     // the clipboard changed, whoever changed it (us too)
  std::function<void()> on_delivered;  // a Pending request has its result: TakeDelivered()
};

// Clipboard notifications to one window, for as long as this object lives.
class ClipboardWatch {
 public:
  virtual ~ClipboardWatch() = default;
  // True when no change of the clipboard's sequence number goes without an on_change: a caller
  // waiting for a change needs no polling. A notice can go missing on Windows.
  virtual bool TellsEveryChange() const { return false; }
};

}  // namespace tllink::platform
