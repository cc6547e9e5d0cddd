#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/menu.h"
#include "platform/types.h"

namespace tllink::platform {

using ControlId = int;

enum class ControlKind { CommandButton, Label, TextBox, PictureBox };

// The unit a picture box reports mouse coordinates in.
enum class ScaleMode { Twips = 1, Pixels = 3 };

struct FontStyle {
  std::u16string face;
  int points = 0;
  bool bold = false;
  friend bool operator==(const FontStyle&, const FontStyle&) = default;
};

struct ControlLayout {
  // Font and scale mode are optional; every other field is given, as a form designer lists it.
  // One constructor per choice, rather than defaulted arguments: a defaulted optional font made
  // a temporary per control that GCC 14 took for an uninitialized string (-Wmaybe-uninitialized).
  ControlLayout(ControlId id_, ControlKind kind_, std::u16string caption_, TwipsRect rect_,
                int tab_index_)
      : id(id_), kind(kind_), caption(std::move(caption_)), rect(rect_), tab_index(tab_index_) {}
  ControlLayout(ControlId id_, ControlKind kind_, std::u16string caption_, TwipsRect rect_,
                int tab_index_, FontStyle font_)
      : ControlLayout(id_, kind_, std::move(caption_), rect_, tab_index_) {
    font = std::move(font_);
  }
  ControlLayout(ControlId id_, ControlKind kind_, std::u16string caption_, TwipsRect rect_,
                int tab_index_, ScaleMode scale_mode_)
      : ControlLayout(id_, kind_, std::move(caption_), rect_, tab_index_) {
    scale_mode = scale_mode_;
  }

  ControlId id;
  ControlKind kind;
  std::u16string caption;  // button and label caption, or a text box's initial text
  TwipsRect rect;
  int tab_index;
  std::optional<FontStyle> font;            // toolkit's default font when absent
  ScaleMode scale_mode = ScaleMode::Twips;  // picture boxes only
};

enum class Placement { Default, CenterScreen };

struct WindowLayout {
  std::u16string caption;
  int client_width = 0;  // twips
  int client_height = 0;
  bool has_icon = false;  // the program's icon in the title bar
  Placement placement = Placement::Default;
  std::vector<ControlLayout> controls;
  // The button that ends the program. Another program of the user's (the installer, before it
  // replaces this one) may ask for it with a message, where the toolkit has such messages.
  std::optional<ControlId> exit_button;
};

// Keys the toolkit turns into window-level commands, as dialog boxes do.
enum class Key { Enter, Escape };

struct MouseEvent {
  int button = 0;
  int shift = 0;
  float x = 0;  // in the picture box's scale units
  float y = 0;
};

// Events a window delivers to its owner. Each runs on the GUI thread; the toolkit never lets
// an exception out of a handler reach the message loop, so handlers report their own failures.
class WindowEvents {
 public:
  virtual void OnClick(ControlId id) = 0;
  virtual void OnMouseMove(ControlId id, const MouseEvent& event) = 0;
  // The user closed the window through its title bar; the toolkit has not hidden it.
  virtual void OnCloseRequest() = 0;
  virtual void OnKey(Key key) = 0;
  // The notification area was re-created (the shell restarted); only top-level windows hear it.
  virtual void OnTaskbarCreated() {}

 protected:
  ~WindowEvents() = default;
};

class Control {
 public:
  virtual ~Control() = default;
  virtual WindowHandle Handle() const = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual std::u16string Text() const = 0;
  virtual void SetText(std::u16string_view text) = 0;
  virtual ScaleMode GetScaleMode() const = 0;
};

class Window {
 public:
  virtual ~Window() = default;
  virtual WindowHandle Handle() const = 0;
  virtual std::u16string Caption() const = 0;
  virtual IconHandle Icon() const = 0;
  virtual bool Visible() const = 0;
  // Showing is modeless; hiding keeps the window and its state.
  virtual void SetVisible(bool visible) = 0;
  virtual Control& GetControl(ControlId id) = 0;
  // Opens `menu` at the mouse position and runs it modally; the toolkit keeps dispatching
  // timer ticks meanwhile. Returns the chosen item, or nothing when the menu was dismissed.
  virtual std::optional<MenuItemId> PopupMenu(Menu& menu) = 0;
};

}  // namespace tllink::platform
