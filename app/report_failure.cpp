#include "app/report_failure.h"

#include <exception>
#include <new>
#include <string>

#include "app/app_text.h"
#include "platform/failure.h"

namespace tllink {

void ReportCurrentFailure(platform::Toolkit& toolkit) noexcept {
  try {
    std::u16string what;
    try {
      throw;
    } catch (const platform::Failure& failure) {
      what = failure.what_failed();
    } catch (const std::bad_alloc&) {
      what = u"記憶體不足";
    } catch (...) {
      what = u"發生未預期的錯誤";
    }
    toolkit.ShowMessage(u"操作失敗：" + what, kAppTitle);
  } catch (...) {
    // Nothing is left to tell the user with.
  }
}

}  // namespace tllink
