#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/program.h"
#include "platform/memory/memory_toolkit.h"

namespace tllink::testing {

using platform::memory::MemoryTimer;
using platform::memory::MemoryToolkit;
using platform::memory::MemoryWindow;

// A program on the in-memory toolkit, with a rule stored or not before it starts.
class ProgramFixture : public ::testing::Test {
 protected:
  void StoreRule(std::u16string find_text, std::u16string replacement, std::u16string flag = u"1") {
    toolkit.Settings().Put(u"tllink", u"slink", u"temp1", std::move(find_text));
    toolkit.Settings().Put(u"tllink", u"elink", u"temp2", std::move(replacement));
    toolkit.Settings().Put(u"tllink", u"sup", u"vl", std::move(flag));
  }

  void Start() { ASSERT_TRUE(program.Start()); }

  Form1& form1() { return program.form1(); }
  Form2& form2() { return program.form2(); }
  MemoryWindow& Window1() { return dynamic_cast<MemoryWindow&>(form1().Window()); }
  MemoryWindow& Window2() { return dynamic_cast<MemoryWindow&>(form2().Window()); }
  MemoryTimer& Timer2() { return dynamic_cast<MemoryTimer&>(form1().Timer2()); }
  // One timer period: the tick runs only while the timer is enabled.
  bool Tick() { return Timer2().Fire(); }

  // The tray reports a mouse message: X arrives in twips, as the toolkit delivers it.
  void TrayNotification(long message) {
    const auto x = static_cast<float>(static_cast<double>(message) * toolkit.twips_per_pixel_x);
    form1().OnMouseMove(Form1::kPicture1, platform::MouseEvent{0, 0, x, 0});
  }
  // Right-click on the tray icon and pick `item` from the menu.
  void ChooseFromTrayMenu(platform::MenuItemId item) {
    toolkit.menu_chooser = [item](platform::memory::MemoryMenu&) { return item; };
    TrayNotification(0x205);
    toolkit.menu_chooser = nullptr;
  }

  std::vector<std::u16string> Balloons() const { return toolkit.notify_area.Balloons(); }

  MemoryToolkit toolkit;
  Program program{toolkit};
};

}  // namespace tllink::testing
