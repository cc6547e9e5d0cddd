#include "platform/win32/win32_clipboard.h"

#include <string.h>  // wcsnlen
#include <cwchar>
#include <optional>
#include <utility>

#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

namespace {

// The clipboard while this program has it open. An open finds the clipboard busy while another
// program holds it; the caller gives up at once and its next tick is the retry, so the GUI thread
// never waits for another program.
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

}  // namespace

std::uint32_t Win32Clipboard::SequenceNumber() {
  return GetClipboardSequenceNumber();
}

bool Win32Clipboard::HasText() {
  return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
}

Clipboard::ReadResult Win32Clipboard::ReadText() {
  ReadResult result;
  const auto open = OpenClipboardGuard::Open(owner_);
  if (!open) {
    result.status = ReadStatus::Busy;
    return result;
  }
  result.sequence = GetClipboardSequenceNumber();
  if (ExcludedFromMonitoring()) {
    result.status = ReadStatus::Excluded;
    return result;
  }
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) {
    result.status = ReadStatus::NoText;
    return result;
  }
  std::optional<std::u16string> text = TextOf(GetClipboardData(CF_UNICODETEXT));
  if (!text) {
    result.status = ReadStatus::Failed;
    return result;
  }
  // Taken after the data: an owner that renders on request may move the number meanwhile.
  result.sequence = GetClipboardSequenceNumber();
  result.status = ReadStatus::Ok;
  result.text = std::move(*text);
  result.owned_by_us = owner_ != nullptr && GetClipboardOwner() == owner_;
  return result;
}

Clipboard::WriteResult Win32Clipboard::ReplaceText(std::u16string_view current,
                                                   std::uint32_t expected_sequence,
                                                   std::u16string_view text) {
  WriteResult result;
  // Both allocated before the clipboard is opened: running out of memory cannot empty it, and
  // the clipboard is held only for the exchange itself.
  UniqueGlobal replacement = AllocateText(text);
  UniqueGlobal previous = AllocateText(current);
  if (!replacement || !previous) {
    result.status = WriteStatus::Failed;
    return result;
  }
  result.status = ReplaceWhileOpen(replacement, previous, expected_sequence);
  // Read once the clipboard is closed: closing can move the number too.
  if (result.status == WriteStatus::Ok) result.sequence = GetClipboardSequenceNumber();
  return result;
}

Clipboard::WriteStatus Win32Clipboard::ReplaceWhileOpen(UniqueGlobal& replacement,
                                                        UniqueGlobal& previous,
                                                        std::uint32_t expected_sequence) {
  const auto open = OpenClipboardGuard::Open(owner_);
  if (!open) return WriteStatus::Busy;
  if (GetClipboardSequenceNumber() != expected_sequence) return WriteStatus::Changed;
  if (!EmptyClipboard()) return WriteStatus::Failed;
  if (SetClipboardData(CF_UNICODETEXT, replacement.get())) {
    replacement.release();  // the clipboard owns it now
    return WriteStatus::Ok;
  }
  if (SetClipboardData(CF_UNICODETEXT, previous.get())) previous.release();
  return WriteStatus::Failed;
}

}  // namespace tllink::platform::win32
