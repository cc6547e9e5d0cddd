#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/caption_font.h"
#include "platform/win32/handles.h"
#include "platform/window.h"

namespace tllink::platform::win32 {

// The registered message a window with an exit button ends the program on, as that button
// does: the installer sends it to a running copy before it replaces the program's file.
inline constexpr wchar_t kEndRequestMessage[] = L"TllinkEndRequest";

// What every window of the program shares; the toolkit owns the icons.
struct WindowEnvironment {
  HINSTANCE instance = nullptr;
  HICON big_icon = nullptr;
  HICON small_icon = nullptr;
};

// A child window: button, label, edit box or picture box. Its parent destroys it.
class Win32Control final : public Control {
 public:
  Win32Control(HWND handle, const ControlLayout& layout) : handle_(handle), layout_(layout) {}

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(handle_); }
  // The control's own flag, as a property reads it: a control of a hidden window is visible.
  bool Visible() const override;
  void SetVisible(bool visible) override;
  bool Enabled() const override;
  void SetEnabled(bool enabled) override;
  std::u16string Text() const override;
  void SetText(std::u16string_view text) override;
  ScaleMode GetScaleMode() const override { return layout_.scale_mode; }

  HWND Hwnd() const { return handle_; }
  const ControlLayout& Layout() const { return layout_; }

  // Shows the caption in `font` (sized for `dpi`), or smaller where its whole text would not
  // fit `box`; a new text is fitted again. Throws Failure when no font can be made.
  void FitCaption(const LOGFONTW& font, UINT dpi, const CaptionBox& box);

 private:
  void ApplyFittedFont();

  HWND handle_;
  ControlLayout layout_;
  // Labels and buttons: the font their caption is fitted from, and where it must fit.
  std::optional<LOGFONTW> caption_font_;
  UINT caption_dpi_ = USER_DEFAULT_SCREEN_DPI;
  CaptionBox caption_box_;
  UniqueFont fitted_font_;
};

// A top-level window laid out in twips, whose messages become WindowEvents.
class Win32Window final : public Window {
 public:
  // Registers the window classes once per process. Throws Failure.
  static void RegisterClasses(HINSTANCE instance);
  // The top-level window of this program that `window` belongs to, or nullptr.
  static HWND ProgramWindowOf(HWND window);

  // Created hidden. Throws Failure when the window or one of its controls cannot be made.
  Win32Window(const WindowLayout& layout, WindowEvents& events, const WindowEnvironment& env);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(hwnd_); }
  std::u16string Caption() const override;
  IconHandle Icon() const override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  Control& GetControl(ControlId id) override;
  std::optional<MenuItemId> PopupMenu(Menu& menu) override;

  HWND Hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  static LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT message, WPARAM wparam,
                                         LPARAM lparam) noexcept;

  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  bool OnCommand(WPARAM wparam, LPARAM lparam);
  bool OnActivate(WPARAM wparam);
  LRESULT DefaultButtonId() const;
  void OnPictureBoxMouseMove(HWND box, WPARAM wparam, LPARAM lparam);

  void CreateControls();
  // Sizes the window, its controls and fonts for `dpi`; the window keeps its position unless
  // `origin` gives a new one.
  void LayOut(UINT dpi, std::optional<POINT> origin);
  SIZE ClientPixels(UINT dpi) const;
  const Win32Control* FindControl(HWND handle) const;

  WindowLayout layout_;
  WindowEvents& events_;
  WindowEnvironment env_;
  DWORD style_;
  DWORD ex_style_;
  HWND hwnd_ = nullptr;  // valid from WM_NCCREATE to WM_NCDESTROY
  HWND last_focus_ = nullptr;
  bool destroying_ = false;
  UniqueFont message_font_;  // the font of text and picture boxes
  std::map<ControlId, std::unique_ptr<Win32Control>> controls_;
  // Declared last so that the window, and with it every control, goes first.
  UniqueWindow window_;
};

}  // namespace tllink::platform::win32
