#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace tllink::platform::win32 {

// One-line owners for Win32 handles: each closes its handle with the function that matches.
template <auto Close>
struct HandleCloser {
  template <typename H>
  void operator()(H handle) const noexcept {
    Close(handle);
  }
};

template <typename H, auto Close>
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<H>, HandleCloser<Close>>;

using UniqueWindow = UniqueHandle<HWND, ::DestroyWindow>;
using UniqueMenu = UniqueHandle<HMENU, ::DestroyMenu>;
using UniqueIcon = UniqueHandle<HICON, ::DestroyIcon>;
using UniqueFont = UniqueHandle<HFONT, ::DeleteObject>;
using UniqueKernelHandle = UniqueHandle<HANDLE, ::CloseHandle>;
using UniqueRegKey = UniqueHandle<HKEY, ::RegCloseKey>;
using UniqueGlobal = UniqueHandle<HGLOBAL, ::GlobalFree>;
using UniqueLocal = UniqueHandle<HLOCAL, ::LocalFree>;

// Text between the portable layer's UTF-16 strings and the wide Win32 calls (wchar_t is 16 bits
// on Windows, so these are views, not conversions).
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace tllink::platform::win32
