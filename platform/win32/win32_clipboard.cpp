#include "platform/win32/win32_clipboard.h"

#include <string.h>  // wcsnlen
#include <cwchar>
#include <optional>
#include <utility>

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
  wchar_t* Data() const { return static_cast<wchar_t*>(data_); }

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

// A movable copy of `text` followed by a NUL, as the clipboard wants it.
UniqueGlobal AllocateText(std::u16string_view text) {
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  if (!memory) return memory;
  const GlobalLockGuard lock(memory.get());
  if (!lock.Data()) return {};
  std::wmemcpy(lock.Data(), reinterpret_cast<const wchar_t*>(text.data()), text.size());
  lock.Data()[text.size()] = L'\0';
  return memory;
}

// The text in clipboard memory: up to its first NUL, never past the block.
std::optional<std::u16string> TextOf(HANDLE data) {
  if (!data) return std::nullopt;
  const GlobalLockGuard lock(data);
  if (!lock.Data()) return std::nullopt;
  const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  return FromWide(lock.Data(), wcsnlen(lock.Data(), capacity));
}

// Runs on the clipboard thread: the text of the clipboard, opened with `window`.
Clipboard::ReadResult ReadWithWindow(HWND window) {
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
  // Taken after the data: an owner that renders on request may move the number meanwhile.
  result.sequence = GetClipboardSequenceNumber();
  result.status = Clipboard::ReadStatus::Ok;
  result.text = std::move(*text);
  return result;
}

// Runs on the clipboard thread: `replacement` in place of what has `expected_sequence`.
Clipboard::WriteStatus ReplaceWithWindow(HWND window, UniqueGlobal& replacement,
                                         UniqueGlobal& previous, std::uint32_t expected_sequence) {
  const auto open = OpenClipboardGuard::Open(window);
  if (!open) return Clipboard::WriteStatus::Busy;
  if (GetClipboardSequenceNumber() != expected_sequence) return Clipboard::WriteStatus::Changed;
  // Tells the previous owner that its content goes, and waits for its answer.
  if (!EmptyClipboard()) return Clipboard::WriteStatus::Failed;
  if (SetClipboardData(CF_UNICODETEXT, replacement.get())) {
    replacement.release();  // the clipboard owns it now
    return Clipboard::WriteStatus::Ok;
  }
  if (SetClipboardData(CF_UNICODETEXT, previous.get())) previous.release();
  return Clipboard::WriteStatus::Failed;
}

}  // namespace

void Win32Clipboard::SetNotifyWindow(HWND window) {
  thread_ = std::make_unique<ClipboardThread>(window, kDeliveredMessage);
}

std::uint32_t Win32Clipboard::SequenceNumber() {
  return GetClipboardSequenceNumber();
}

Clipboard::ReadResult Win32Clipboard::ReadText() {
  {
    const std::lock_guard lock(results_->mutex);
    if (results_->read) return *std::exchange(results_->read, std::nullopt);
  }
  ReadResult result;
  result.sequence = GetClipboardSequenceNumber();
  if (thread_ && thread_->Running()) {
    // A read the thread waits in cannot be called off; the current content is read after it.
    result.status = ReadStatus::Pending;
    return result;
  }
  // Even asking for the formats is left to the thread: under Wine it may ask the owner first.
  const bool started = thread_ && thread_->Start([results = results_](HWND window) {
    ReadResult read = ReadWithWindow(window);
    const std::lock_guard lock(results->mutex);
    results->read = std::move(read);
  });
  result.status = started ? ReadStatus::Pending : ReadStatus::Failed;
  return result;
}

Clipboard::WriteResult Win32Clipboard::ReplaceText(std::u16string_view current,
                                                   std::uint32_t expected_sequence,
                                                   std::u16string_view text) {
  {
    const std::lock_guard lock(results_->mutex);
    if (results_->write && results_->write_expected_sequence == expected_sequence) {
      return *std::exchange(results_->write, std::nullopt);
    }
  }
  WriteResult result;
  if (thread_ && thread_->Running()) {
    result.status = WriteStatus::Pending;
    return result;
  }
  // Both allocated before the clipboard is opened: running out of memory cannot empty it, and
  // the clipboard is held only for the exchange itself.
  struct Texts {
    UniqueGlobal replacement;
    UniqueGlobal previous;
  };
  auto texts = std::make_shared<Texts>(Texts{AllocateText(text), AllocateText(current)});
  if (!texts->replacement || !texts->previous) {
    result.status = WriteStatus::Failed;
    return result;
  }
  const bool started =
      thread_ && thread_->Start([results = results_, texts, expected_sequence](HWND window) {
        WriteResult written;
        written.status =
            ReplaceWithWindow(window, texts->replacement, texts->previous, expected_sequence);
        // Read once the clipboard is closed: closing can move the number too.
        if (written.status == WriteStatus::Ok) written.sequence = GetClipboardSequenceNumber();
        const std::lock_guard lock(results->mutex);
        results->write = written;
        results->write_expected_sequence = expected_sequence;
      });
  result.status = started ? WriteStatus::Pending : WriteStatus::Failed;
  return result;
}

}  // namespace tllink::platform::win32
