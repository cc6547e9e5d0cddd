#include "app/program.h"

#include "app/report_failure.h"

namespace tllink {

Program::Program(platform::Toolkit& toolkit)
    : toolkit_(toolkit),
      module1_(toolkit.GetNotifyArea()),
      form2_(toolkit),
      form1_(toolkit, module1_, form2_) {
  form2_.AttachMainWindow(form1_);
}

bool Program::Start() {
  try {
    form1_.Load();
    return true;
  } catch (...) {
    ReportCurrentFailure(toolkit_);
    if (form1_.mlngID != 0) {
      RunReportingFailures(toolkit_, [this] { module1_.RemoveTrayIcon(form1_.mlngID); });
    }
    return false;
  }
}

}  // namespace tllink
