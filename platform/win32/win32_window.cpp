#include "platform/win32/win32_window.h"

#include <algorithm>
#include <vector>

#include "platform/failure.h"
#include "platform/layout_geometry.h"
#include "platform/win32/dpi.h"
#include "platform/win32/win32_clipboard.h"
#include "platform/win32/win32_clipboard_watch.h"
#include "platform/win32/win32_menu.h"
#include "platform/win32/win32_timer.h"

namespace tllink::platform::win32 {

namespace {

constexpr wchar_t kFormClass[] = L"TllinkForm";
constexpr wchar_t kPictureBoxClass[] = L"TllinkPictureBox";

ATOM form_atom = 0;
// Broadcast by the shell when the notification area has been (re-)created.
UINT taskbar_created = 0;
// Sent or posted by the installer and uninstaller to end a running copy as its exit button does.
UINT end_request = 0;

std::u16string WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, buffer.data(), length + 1);
  return FromWide(buffer.data(), static_cast<std::size_t>(std::max(copied, 0)));
}

bool FontFamilyInstalled(const std::u16string& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  std::copy(face.begin(), face.end(), query.lfFaceName);
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return false;
  bool found = false;
  ::EnumFontFamiliesExW(
      screen, &query,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found_flag) -> int {
        *reinterpret_cast<bool*>(found_flag) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

// A font the system lacks would be replaced by one that may have no Chinese glyphs; the
// message font's face has them (directly or through font linking), so it stands in.
LOGFONTW ControlFont(const FontStyle& style, UINT dpi) {
  LOGFONTW font = MessageFont(dpi);
  font.lfHeight = -::MulDiv(style.points, static_cast<int>(dpi), 72);
  font.lfWidth = 0;
  font.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = FALSE;
  font.lfUnderline = FALSE;
  font.lfStrikeOut = FALSE;
  if (FontFamilyInstalled(style.face)) {
    std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), L'\0');
    std::copy(style.face.begin(), style.face.end(), font.lfFaceName);
    font.lfCharSet = DEFAULT_CHARSET;
  }
  return font;
}

bool HasCaption(ControlKind kind) {
  return kind == ControlKind::Label || kind == ControlKind::CommandButton;
}

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD ex_style;
};

ControlClass ClassOf(ControlKind kind) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  switch (kind) {
    case ControlKind::CommandButton:
      // Captions wrap as they do on the buttons this layout was drawn with.
      return {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE, 0};
    case ControlKind::Label:
      return {L"STATIC", kChild | SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::TextBox:
      return {L"EDIT", kChild | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL, 0};
    case ControlKind::PictureBox:
      return {kPictureBoxClass, kChild, 0};
  }
  return {L"STATIC", kChild, 0};
}

// Mouse buttons and modifier keys in the numbering mouse events use.
int MouseButtons(WPARAM keys) {
  int buttons = 0;
  if (keys & MK_LBUTTON) buttons |= 1;
  if (keys & MK_RBUTTON) buttons |= 2;
  if (keys & MK_MBUTTON) buttons |= 4;
  return buttons;
}

int ModifierKeys(WPARAM keys) {
  int shift = 0;
  if (keys & MK_SHIFT) shift |= 1;
  if (keys & MK_CONTROL) shift |= 2;
  if (::GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

POINT CenteredOnPrimaryWorkArea(SIZE size) {
  RECT work{};
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  return POINT{work.left + (work.right - work.left - size.cx) / 2,
               work.top + (work.bottom - work.top - size.cy) / 2};
}

}  // namespace

// ----- Win32Control -----

bool Win32Control::Visible() const {
  return (::GetWindowLongPtrW(handle_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Control::SetVisible(bool visible) {
  ::ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
}

bool Win32Control::Enabled() const {
  return ::IsWindowEnabled(handle_) != FALSE;
}

void Win32Control::SetEnabled(bool enabled) {
  ::EnableWindow(handle_, enabled ? TRUE : FALSE);
}

std::u16string Win32Control::Text() const {
  return WindowText(handle_);
}

void Win32Control::SetText(std::u16string_view text) {
  const std::u16string terminated(text);
  if (!::SetWindowTextW(handle_, Wide(terminated))) throw Failure(u"無法設定控制項的文字");
  if (caption_font_) ApplyFittedFont();
}

void Win32Control::FitCaption(const LOGFONTW& font, UINT dpi, const CaptionBox& box) {
  caption_font_ = font;
  caption_dpi_ = dpi;
  caption_box_ = box;
  ApplyFittedFont();
}

void Win32Control::ApplyFittedFont() {
  UniqueFont fitted = FitCaptionFont(handle_, Text(), *caption_font_, caption_dpi_, caption_box_);
  ::SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(fitted.get()), TRUE);
  // The control holds the new font now; the old one can go.
  fitted_font_ = std::move(fitted);
}

// ----- Win32Window -----

void Win32Window::RegisterClasses(HINSTANCE instance) {
  if (form_atom != 0) return;

  const auto describe_class = [instance](WNDPROC procedure, const wchar_t* name) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    window_class.lpszClassName = name;
    return window_class;
  };
  const WNDCLASSEXW form = describe_class(&Win32Window::FormProc, kFormClass);
  const ATOM registered_form = ::RegisterClassExW(&form);
  if (registered_form == 0) throw Failure(u"無法註冊視窗類別");
  const WNDCLASSEXW box = describe_class(&Win32Window::PictureBoxProc, kPictureBoxClass);
  if (::RegisterClassExW(&box) == 0) {
    ::UnregisterClassW(kFormClass, instance);
    throw Failure(u"無法註冊視窗類別");
  }

  form_atom = registered_form;
  taskbar_created = ::RegisterWindowMessageW(L"TaskbarCreated");
  end_request = ::RegisterWindowMessageW(kEndRequestMessage);
}

HWND Win32Window::ProgramWindowOf(HWND window) {
  if (window == nullptr || form_atom == 0) return nullptr;
  const HWND root = ::GetAncestor(window, GA_ROOT);
  if (root == nullptr) return nullptr;
  return static_cast<ATOM>(::GetClassLongPtrW(root, GCW_ATOM)) == form_atom ? root : nullptr;
}

Win32Window::Win32Window(const WindowLayout& layout, WindowEvents& events,
                         const WindowEnvironment& env)
    : layout_(layout),
      events_(events),
      env_(env),
      style_(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN),
      // Without the program's icon, a dialog frame keeps the title bar free of a stand-in icon.
      ex_style_(layout.has_icon ? 0 : WS_EX_DLGMODALFRAME) {
  // Sized first for the screen's DPI; LayOut corrects it once the window knows its monitor.
  const UINT screen_dpi = ScreenDpiX();
  const SIZE size = WindowSizeForClient(ClientPixels(screen_dpi), style_, ex_style_, screen_dpi);
  POINT origin{CW_USEDEFAULT, CW_USEDEFAULT};
  if (layout_.placement == Placement::CenterScreen) origin = CenteredOnPrimaryWorkArea(size);

  const HWND created =
      ::CreateWindowExW(ex_style_, kFormClass, Wide(layout_.caption), style_, origin.x, origin.y,
                        size.cx, size.cy, nullptr, nullptr, env_.instance, this);
  if (created == nullptr) throw Failure(u"無法建立視窗");
  window_.reset(created);

  try {
    if (layout_.has_icon) {
      ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(env_.big_icon));
      ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(env_.small_icon));
    }
    CreateControls();

    const UINT dpi = WindowDpi(hwnd_);
    std::optional<POINT> recentred;
    if (layout_.placement == Placement::CenterScreen && dpi != screen_dpi) {
      recentred =
          CenteredOnPrimaryWorkArea(WindowSizeForClient(ClientPixels(dpi), style_, ex_style_, dpi));
    }
    LayOut(dpi, recentred);
  } catch (...) {
    destroying_ = true;
    throw;
  }
}

Win32Window::~Win32Window() {
  // No event reaches the owner while the window and its controls are torn down.
  destroying_ = true;
  window_.reset();
}

void Win32Window::CreateControls() {
  // Creation order is the Z-order, which is the order Tab walks.
  const std::vector<const ControlLayout*> ordered = CreationOrder(layout_);

  for (const ControlLayout* control : ordered) {
    const ControlClass control_class = ClassOf(control->kind);
    const HWND child = ::CreateWindowExW(
        control_class.ex_style, control_class.name, Wide(control->caption), control_class.style, 0,
        0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control->id)), env_.instance,
        this);
    if (child == nullptr) throw Failure(u"無法建立視窗中的控制項");
    controls_[control->id] = std::make_unique<Win32Control>(child, *control);
  }
  // Such controls take no focus, so moving them leaves the Tab order alone.
  for (const auto& [id, control] : controls_) {
    if (!LiesBelowOtherControls(control->Layout().kind)) continue;
    ::SetWindowPos(control->Hwnd(), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

SIZE Win32Window::ClientPixels(UINT dpi) const {
  return SIZE{TwipsToPixels(layout_.client_width, dpi), TwipsToPixels(layout_.client_height, dpi)};
}

void Win32Window::LayOut(UINT dpi, std::optional<POINT> origin) {
  const LOGFONTW message_logfont = MessageFont(dpi);
  UniqueFont message_font(::CreateFontIndirectW(&message_logfont));
  if (!message_font) throw Failure(u"無法建立字型");

  for (const auto& [id, control] : controls_) {
    const ControlLayout& layout = control->Layout();
    const PixelRect place = ToPixels(layout.rect, dpi, dpi);
    ::SetWindowPos(control->Hwnd(), nullptr, place.left, place.top, place.width, place.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    if (!HasCaption(layout.kind)) {
      ::SendMessageW(control->Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(message_font.get()),
                     TRUE);
      continue;
    }
    CaptionBox box;
    if (layout.kind == ControlKind::Label) {
      // Up to the first control that covers it. A label wraps at its own width, so it may
      // take a second line only where nothing covers it.
      const TwipsRect area = TextArea(layout_, layout);
      const PixelRect shown = ToPixels(area, dpi, dpi);
      box = CaptionBox{shown.width, shown.height, area.width == layout.rect.width};
    } else {
      const int inset = ButtonCaptionInset(dpi);
      box = CaptionBox{place.width - 2 * inset, place.height - 2 * inset, true};
    }
    control->FitCaption(layout.font ? ControlFont(*layout.font, dpi) : message_logfont, dpi, box);
  }
  // The controls hold the new font now; the old one can go.
  message_font_ = std::move(message_font);

  const SIZE size = WindowSizeForClient(ClientPixels(dpi), style_, ex_style_, dpi);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  POINT position{};
  if (origin) {
    position = *origin;
  } else {
    flags |= SWP_NOMOVE;
  }
  ::SetWindowPos(hwnd_, nullptr, position.x, position.y, size.cx, size.cy, flags);
}

std::u16string Win32Window::Caption() const {
  return WindowText(hwnd_);
}

IconHandle Win32Window::Icon() const {
  // The small image: it is what the notification area shows, at the size it shows it.
  return layout_.has_icon ? reinterpret_cast<IconHandle>(env_.small_icon) : 0;
}

bool Win32Window::Visible() const {
  return ::IsWindowVisible(hwnd_) != FALSE;
}

void Win32Window::SetVisible(bool visible) {
  if (!visible) {
    ::ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  ::ShowWindow(hwnd_, ::IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  ::SetForegroundWindow(hwnd_);
}

Control& Win32Window::GetControl(ControlId id) {
  const auto found = controls_.find(id);
  if (found == controls_.end()) throw Failure(u"沒有這個控制項");
  return *found->second;
}

std::optional<MenuItemId> Win32Window::PopupMenu(Menu& menu) {
  // The Windows toolkit makes every menu of the program.
  auto& win32_menu = static_cast<Win32Menu&>(menu);
  POINT at{};
  ::GetCursorPos(&at);
  const BOOL chosen =
      ::TrackPopupMenu(win32_menu.Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x,
                       at.y, 0, hwnd_, nullptr);
  // Lets the menu close when the user clicks elsewhere, and open again on the next click.
  ::PostMessageW(hwnd_, WM_NULL, 0, 0);
  if (chosen == 0) return std::nullopt;
  return static_cast<MenuItemId>(chosen);
}

const Win32Control* Win32Window::FindControl(HWND handle) const {
  for (const auto& [id, control] : controls_) {
    if (control->Hwnd() == handle) return control.get();
  }
  return nullptr;
}

LRESULT CALLBACK Win32Window::FormProc(HWND hwnd, UINT message, WPARAM wparam,
                                       LPARAM lparam) noexcept {
  Win32Window* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
  try {
    return self->OnMessage(message, wparam, lparam);
  } catch (...) {
    // The owner's handlers report their own failures; one of this layer (a font that cannot be
    // made while re-laying out) leaves the window as it was.
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (destroying_) return ::DefWindowProcW(hwnd_, message, wparam, lparam);
  switch (message) {
    case WM_COMMAND:
      if (OnCommand(wparam, lparam)) return 0;
      break;
    case WM_CLOSE:
      // Only the owner decides what closing means; the window is not hidden or destroyed here.
      events_.OnCloseRequest();
      return 0;
    case WM_TIMER:
      if (lparam == 0 && Win32Timer::DispatchTick(wparam)) return 0;
      break;
    case WM_CLIPBOARDUPDATE:
      if (Win32ClipboardWatch::Dispatch(hwnd_)) return 0;
      break;
    case Win32Clipboard::kDeliveredMessage:
      if (Win32ClipboardWatch::DispatchDelivered(hwnd_)) return 0;
      break;
    case WM_ACTIVATE:
      if (OnActivate(wparam)) return 0;
      break;
    case DM_GETDEFID:
      return DefaultButtonId();
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      LayOut(LOWORD(wparam), POINT{suggested->left, suggested->top});
      return 0;
    }
    default:
      if (taskbar_created != 0 && message == taskbar_created) {
        events_.OnTaskbarCreated();
        return 0;
      }
      if (end_request != 0 && message == end_request && layout_.exit_button) {
        events_.OnClick(*layout_.exit_button);
        return 1;
      }
      break;
  }
  return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

bool Win32Window::OnCommand(WPARAM wparam, LPARAM lparam) {
  if (lparam != 0) {
    const Win32Control* control = FindControl(reinterpret_cast<HWND>(lparam));
    if (control != nullptr && control->Layout().kind == ControlKind::CommandButton &&
        HIWORD(wparam) == BN_CLICKED) {
      events_.OnClick(control->Layout().id);
      return true;
    }
    return false;
  }
  // Enter and Esc, as the dialog manager in the message loop turns them into commands.
  switch (LOWORD(wparam)) {
    case IDOK:
      events_.OnKey(Key::Enter);
      return true;
    case IDCANCEL:
      events_.OnKey(Key::Escape);
      return true;
    default:
      return false;
  }
}

bool Win32Window::OnActivate(WPARAM wparam) {
  // A plain window forgets its focused control when it is deactivated; keep it, as dialogs do.
  if (LOWORD(wparam) == WA_INACTIVE) {
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(hwnd_, focus)) last_focus_ = focus;
    return false;
  }
  if (HIWORD(wparam) != 0) return false;  // activated while minimised
  HWND target = last_focus_;
  if (target == nullptr || !::IsChild(hwnd_, target) || !::IsWindowVisible(target) ||
      !::IsWindowEnabled(target)) {
    target = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  }
  if (target == nullptr || !::IsChild(hwnd_, target)) return false;
  ::SetFocus(target);
  return true;
}

LRESULT Win32Window::DefaultButtonId() const {
  // Enter presses the focused button, as in a dialog; elsewhere it becomes the window's Enter.
  const HWND focus = ::GetFocus();
  const Win32Control* control = FindControl(focus);
  if (control == nullptr || control->Layout().kind != ControlKind::CommandButton) return 0;
  return MAKELRESULT(control->Layout().id, DC_HASDEFID);
}

LRESULT CALLBACK Win32Window::PictureBoxProc(HWND hwnd, UINT message, WPARAM wparam,
                                             LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  } else if (message == WM_MOUSEMOVE) {
    // Also the notification area's callback message: the tray icon belongs to this box.
    auto* owner = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (owner != nullptr) {
      try {
        owner->OnPictureBoxMouseMove(hwnd, wparam, lparam);
      } catch (...) {
        // The owner reports its own failures; nothing of this layer can fail here.
      }
      return 0;
    }
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void Win32Window::OnPictureBoxMouseMove(HWND box, WPARAM wparam, LPARAM lparam) {
  if (destroying_) return;
  const Win32Control* control = FindControl(box);
  if (control == nullptr) return;
  const double x_pixels = LOWORD(lparam);
  const double y_pixels = HIWORD(lparam);
  MouseEvent event;
  event.button = MouseButtons(wparam);
  event.shift = ModifierKeys(wparam);
  if (control->GetScaleMode() == ScaleMode::Pixels) {
    event.x = static_cast<float>(x_pixels);
    event.y = static_cast<float>(y_pixels);
  } else {
    // Twips at the screen's DPI, the same factor the toolkit reports as twips per pixel, so
    // that dividing by it gives back the pixel (the tray's mouse message) exactly.
    event.x = static_cast<float>(x_pixels * ScreenTwipsPerPixelX());
    event.y = static_cast<float>(y_pixels * ScreenTwipsPerPixelY());
  }
  events_.OnMouseMove(control->Layout().id, event);
}

}  // namespace tllink::platform::win32
