#include "platform/win32/win32_clipboard.h"

#include <string.h>  // wcsnlen
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

namespace {

// The clipboard while this program has it open. An open finds the clipboard busy while another
// program holds it; the caller gives up at once and its next tick is the retry.
class OpenClipboardGuard {
 public:
  static std::optional<OpenClipboardGuard> Open(HWND owner) {
    if (!OpenClipboard(owner)) return std::nullopt;
    return OpenClipboardGuard();
  }
  OpenClipboardGuard(OpenClipboardGuard&& other) noexcept
      : open_(std::exchange(other.open_, false)) {}
  OpenClipboardGuard& operator=(OpenClipboardGuard&&) = delete;
  ~OpenClipboardGuard() {
    if (open_) CloseClipboard();
  }

 private:
  OpenClipboardGuard() = default;
  bool open_ = true;
};

// Memory locked for reading or writing, unlocked when done.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
  ~GlobalLockGuard() {
    if (data_) GlobalUnlock(memory_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  void* Data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// Password managers and similar programs mark content that monitors must leave alone.
bool ExcludedFromMonitoring() {
  static const UINT exclude =
      RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
  static const UINT ignore = RegisterClipboardFormatW(L"Clipboard Viewer Ignore");
  return (exclude != 0 && IsClipboardFormatAvailable(exclude)) ||
         (ignore != 0 && IsClipboardFormatAvailable(ignore));
}

// The rich formats the program rewrites with a copy's text.
constexpr const char* kRichFormats[] = {"HTML Format", "Rich Text Format"};

UINT FormatId(const std::string& name) {
  return RegisterClipboardFormatW(std::wstring(name.begin(), name.end()).c_str());
}

// A movable copy of `bytes`, as the clipboard wants it.
UniqueGlobal Allocate(const void* bytes, std::size_t size) {
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return memory;
  const GlobalLockGuard lock(memory.get());
  if (!lock.Data()) return {};
  std::memcpy(lock.Data(), bytes, size);
  return memory;
}

// A movable copy of `text` followed by a NUL.
UniqueGlobal AllocateText(std::u16string_view text) {
  std::u16string terminated(text);
  return Allocate(terminated.c_str(), (terminated.size() + 1) * sizeof(char16_t));
}

// The text in clipboard memory: up to its first NUL, never past the block.
std::optional<std::u16string> TextOf(HANDLE data) {
  if (!data) return std::nullopt;
  const GlobalLockGuard lock(data);
  if (!lock.Data()) return std::nullopt;
  const auto* units = static_cast<const wchar_t*>(lock.Data());
  return FromWide(units, wcsnlen(units, GlobalSize(data) / sizeof(wchar_t)));
}

// Every byte of clipboard memory.
std::optional<std::string> BytesOf(HANDLE data) {
  if (!data) return std::nullopt;
  const GlobalLockGuard lock(data);
  if (!lock.Data()) return std::nullopt;
  return std::string(static_cast<const char*>(lock.Data()), GlobalSize(data));
}

// A copy allocated for the clipboard: its text and its rich formats with their ids.
struct Allocated {
  UniqueGlobal text;
  std::vector<std::pair<UINT, UniqueGlobal>> rich;
};

std::optional<Allocated> Allocate(ContentView content) {
  Allocated allocated{AllocateText(content.text), {}};
  if (!allocated.text) return std::nullopt;
  for (const RichFormat& format : content.rich) {
    const UINT id = FormatId(format.name);
    UniqueGlobal memory = Allocate(format.bytes.data(), format.bytes.size());
    if (id == 0 || !memory) return std::nullopt;
    allocated.rich.emplace_back(id, std::move(memory));
  }
  return allocated;
}

// Sets what was allocated on the open, emptied clipboard; the clipboard owns what took.
bool Set(Allocated& content) {
  if (!SetClipboardData(CF_UNICODETEXT, content.text.get())) return false;
  content.text.release();
  for (auto& [id, memory] : content.rich) {
    if (SetClipboardData(id, memory.get())) memory.release();
  }
  return true;
}

// Runs on the clipboard thread: the text of the clipboard, opened with `window`, and its rich
// formats when the text contains `rich_if_containing`.
Clipboard::ReadResult ReadWithWindow(HWND window, std::u16string_view rich_if_containing) {
  Clipboard::ReadResult result;
  const auto open = OpenClipboardGuard::Open(window);
  if (!open) {
    result.status = Clipboard::ReadStatus::Busy;
    return result;
  }
  result.sequence = GetClipboardSequenceNumber();
  if (ExcludedFromMonitoring()) {
    result.status = Clipboard::ReadStatus::Excluded;
    return result;
  }
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) {
    result.status = Clipboard::ReadStatus::NoText;
    return result;
  }
  // Waits for an owner that renders its text only when asked.
  std::optional<std::u16string> text = TextOf(GetClipboardData(CF_UNICODETEXT));
  if (!text) {
    result.status = Clipboard::ReadStatus::Failed;
    return result;
  }
  if (!rich_if_containing.empty() && text->find(rich_if_containing) != std::u16string::npos) {
    for (const char* name : kRichFormats) {
      const UINT id = FormatId(name);
      if (id == 0 || !IsClipboardFormatAvailable(id)) continue;
      // A rich format that cannot be read is left out, as one that cannot be rewritten is.
      if (std::optional<std::string> bytes = BytesOf(GetClipboardData(id))) {
        result.rich.push_back(RichFormat{name, std::move(*bytes)});
      }
    }
  }
  // Taken after the data: an owner that renders on request may move the number meanwhile.
  result.sequence = GetClipboardSequenceNumber();
  result.status = Clipboard::ReadStatus::Ok;
  result.text = std::move(*text);
  return result;
}

// Runs on the clipboard thread, with the clipboard open: `replacement` in its place, or
// `current` back should it not take.
Clipboard::WriteStatus Put(Allocated& replacement, Allocated& current) {
  // Tells the previous owner that its content goes, and waits for its answer.
  if (!EmptyClipboard()) return Clipboard::WriteStatus::Failed;
  if (Set(replacement)) return Clipboard::WriteStatus::Ok;
  Set(current);
  return Clipboard::WriteStatus::Failed;
}

// The sequence number of what this program's window just put on the clipboard, taken while it
// was still open. Closing may move the number again (Wine does); that later number is taken
// only while the window still owns the clipboard, never one of another program's copy.
std::uint32_t SequenceOfOwnWrite(HWND window, std::uint32_t while_open) {
  const std::uint32_t now = GetClipboardSequenceNumber();
  return now != while_open && GetClipboardOwner() == window ? now : while_open;
}

struct WriteOutcome {
  Clipboard::WriteStatus status = Clipboard::WriteStatus::Failed;
  std::uint32_t sequence = 0;
};

// Runs on the clipboard thread: `replacement` in place of what has `expected_sequence` and, when
// `only_over_own`, is this program's own content.
WriteOutcome ReplaceWithWindow(HWND window, Allocated& replacement, Allocated& current,
                               std::uint32_t expected_sequence, bool only_over_own) {
  std::uint32_t written = 0;
  {
    const auto open = OpenClipboardGuard::Open(window);
    if (!open) return {Clipboard::WriteStatus::Busy};
    if (GetClipboardSequenceNumber() != expected_sequence ||
        (only_over_own && GetClipboardOwner() != window)) {
      return {Clipboard::WriteStatus::Changed};
    }
    const Clipboard::WriteStatus status = Put(replacement, current);
    if (status != Clipboard::WriteStatus::Ok) return {status};
    written = GetClipboardSequenceNumber();
  }
  return {Clipboard::WriteStatus::Ok, SequenceOfOwnWrite(window, written)};
}

}  // namespace

void Win32Clipboard::SetNotifyWindow(HWND window) {
  thread_ = std::make_unique<ClipboardThread>(window, kDeliveredMessage);
}

std::uint32_t Win32Clipboard::SequenceNumber() {
  return GetClipboardSequenceNumber();
}

bool Win32Clipboard::StartJob(std::function<Delivered(HWND)> job, Delivered if_thrown) {
  return thread_ && thread_->Start([results = results_, job = std::move(job),
                                    if_thrown = std::move(if_thrown)](HWND window) {
    // Every request gets its answer: one that throws (out of memory on a huge copy) fails,
    // and is not asked again for the same copy.
    std::optional<Delivered> delivered;
    try {
      delivered = job(window);
    } catch (...) {
      delivered = if_thrown;
    }
    const std::lock_guard lock(results->mutex);
    results->delivered.Add(std::move(*delivered));
  });
}

Clipboard::ReadResult Win32Clipboard::Read(RequestId request,
                                           std::u16string_view rich_if_containing) {
  ReadResult result;
  result.request = request;
  result.sequence = GetClipboardSequenceNumber();
  result.asked_with = rich_if_containing;
  ReadResult failed = result;
  failed.status = ReadStatus::Failed;
  // Even asking for the formats is left to the thread: under Wine it may ask the owner first.
  const bool started = StartJob(
      [request, containing = result.asked_with](HWND window) -> Delivered {
        ReadResult read = ReadWithWindow(window, containing);
        read.request = request;
        read.asked_with = containing;
        return read;
      },
      failed);
  result.status = started ? ReadStatus::Pending : ReadStatus::Failed;
  return result;
}

Clipboard::WriteResult Win32Clipboard::StartWrite(RequestId request, ContentView current,
                                                  std::uint32_t expected_sequence,
                                                  ContentView replacement, bool only_over_own) {
  WriteResult result;
  result.request = request;
  // Both allocated before the clipboard is opened: running out of memory cannot empty it, and
  // the clipboard is held only for the exchange itself.
  std::optional<Allocated> allocated_replacement = Allocate(replacement);
  std::optional<Allocated> allocated_current = Allocate(current);
  if (!allocated_replacement || !allocated_current) {
    result.status = WriteStatus::Failed;
    return result;
  }
  struct Contents {
    Allocated replacement;
    Allocated current;
  };
  auto contents = std::make_shared<Contents>(
      Contents{std::move(*allocated_replacement), std::move(*allocated_current)});
  const bool started = StartJob(
      [request, contents, expected_sequence, only_over_own](HWND window) -> Delivered {
        const WriteOutcome outcome = ReplaceWithWindow(
            window, contents->replacement, contents->current, expected_sequence, only_over_own);
        return WriteResult{request, outcome.status, outcome.sequence};
      },
      WriteResult{request, WriteStatus::Failed, 0});
  result.status = started ? WriteStatus::Pending : WriteStatus::Failed;
  return result;
}

Clipboard::WriteResult Win32Clipboard::Replace(RequestId request, ContentView current,
                                               std::uint32_t expected_sequence,
                                               ContentView replacement) {
  return StartWrite(request, current, expected_sequence, replacement, false);
}

Clipboard::WriteResult Win32Clipboard::TakeBack(RequestId request, ContentView conversion,
                                                std::uint32_t conversion_sequence,
                                                ContentView original) {
  // The conversion must still be there, and still be this program's: its window owns it.
  return StartWrite(request, conversion, conversion_sequence, original, true);
}

std::optional<Clipboard::Delivered> Win32Clipboard::TakeDelivered() {
  const std::lock_guard lock(results_->mutex);
  return results_->delivered.Take();
}

}  // namespace tllink::platform::win32
