#pragma once

#include "platform/toolkit.h"

namespace tllink {

// Tells the user about the failure in flight (call from a catch block). Never throws.
void ReportCurrentFailure(platform::Toolkit& toolkit) noexcept;

// Runs `handler`; a failure it lets out is reported instead of ending the program.
template <typename Handler>
void RunReportingFailures(platform::Toolkit& toolkit, Handler&& handler) noexcept {
  try {
    handler();
  } catch (...) {
    ReportCurrentFailure(toolkit);
  }
}

}  // namespace tllink
