#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tllink::platform {

// The system clipboard, Unicode text only. Text is UTF-16 exactly as stored there: nothing is
// normalised, validated or converted.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  // Moves whenever any program changes the clipboard; cheap and needs no open.
  virtual std::uint32_t SequenceNumber() = 0;
  // Whether Unicode text is offered; needs no open.
  virtual bool HasText() = 0;

  enum class ReadStatus {
    Ok,
    Busy,      // another program holds the clipboard open
    NoText,    // the text went away, or none was there
    Excluded,  // the owner asked clipboard monitors to leave this content alone
    Failed,
  };
  struct ReadResult {
    ReadStatus status = ReadStatus::Failed;
    std::u16string text;
    std::uint32_t sequence = 0;  // the sequence number the text belongs to
    // This program is the clipboard's owner: it was the last to empty it, whether it then put
    // its own text there or put back what was there before.
    bool owned_by_us = false;
  };
  virtual ReadResult ReadText() = 0;

  enum class WriteStatus {
    Ok,
    Busy,     // another program holds the clipboard open
    Changed,  // the clipboard no longer holds the content with `expected_sequence`
    Failed,   // nothing was changed, or what was there has been put back
  };
  struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    std::uint32_t sequence = 0;  // after a successful write: the sequence number it produced
  };
  // Clears every format and puts `text` there, in one open, but only while the clipboard still
  // holds `current`, the text read with `expected_sequence`. Should `text` not take, `current`
  // is put back: a failure never leaves the clipboard empty.
  virtual WriteResult ReplaceText(std::u16string_view current, std::uint32_t expected_sequence,
                                  std::u16string_view text) = 0;
};

// Clipboard-change notifications to one window, for as long as this object lives.
class ClipboardWatch {
 public:
  virtual ~ClipboardWatch() = default;
};

}  // namespace tllink::platform
