#pragma once

#include "app/form1.h"
#include "platform/toolkit.h"
#include "settings/form2.h"
#include "tray/module1.h"

namespace tllink {

// The program's objects, wired together: the tray functions, the settings dialog object that
// holds the rule, and the main window that starts everything.
class Program {
 public:
  explicit Program(platform::Toolkit& toolkit);

  // Loads the main window. False when the program cannot run (the user has been told, and no
  // tray icon is left behind); the caller then ends the program.
  bool Start();

  Module1& module1() { return module1_; }
  Form2& form2() { return form2_; }
  Form1& form1() { return form1_; }

 private:
  platform::Toolkit& toolkit_;
  Module1 module1_;
  Form2 form2_;
  Form1 form1_;
};

}  // namespace tllink
