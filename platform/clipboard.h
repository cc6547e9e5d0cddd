#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
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
// No call waits for another program. What needs another program's answer (the owner hands
// over its text, or hears that its content goes) is done by the platform off the GUI thread:
// the call says Pending, and the watch's on_delivered runs once the result is there; the same
// call then hands it over.
class Clipboard {
 public:
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
    Failed,
  };
  struct ReadResult {
    ReadStatus status = ReadStatus::Failed;
    std::u16string text;
    std::vector<RichFormat> rich;  // the rich formats the platform rewrites, when asked for
    std::uint32_t sequence = 0;    // the sequence number of the content the result is about
  };
  // The text of the clipboard's content, and its rich formats when the text contains
  // `rich_if_containing` (not empty): only a copy that is converted needs them, and an owner may
  // make them only when asked. The result of a read that was Pending is handed over once it is
  // there, even when someone has copied since: `sequence` tells which content it is. A read
  // still running for content that is no longer there is dropped where the platform can, and
  // the current content is read instead.
  virtual ReadResult ReadText(std::u16string_view rich_if_containing) = 0;

  enum class WriteStatus {
    Ok,
    Pending,  // under way: call again with the same arguments for the result
    Busy,     // another program holds the clipboard open
    Changed,  // the clipboard no longer holds the content with `expected_sequence`
    Failed,   // nothing was changed, or what was there has been put back
  };
  struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    std::uint32_t sequence = 0;  // after a successful write: the sequence number it produced
  };
  // Clears every format and puts `replacement` there, in one open, but only while the clipboard
  // still holds `current`, the content read with `expected_sequence`. Should `replacement` not
  // take, `current` is put back: a failure never leaves the clipboard empty.
  virtual WriteResult ReplaceContent(ContentView current, std::uint32_t expected_sequence,
                                     ContentView replacement) = 0;
};

// What a clipboard watch calls, on the GUI thread.
struct ClipboardEvents {
  std::function<void()> on_change;     // the clipboard changed, whoever changed it (us too)
  std::function<void()> on_delivered;  // a Pending read or write has its result
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
