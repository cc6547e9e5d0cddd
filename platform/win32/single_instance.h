#pragma once

#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

// One running instance per user: a mutex in the session's Local\ namespace whose name carries
// the user's SID. It is held until the process ends.
class SingleInstance {
 public:
  // True when another instance of this user holds the mutex. Throws Failure when the test
  // itself cannot be made.
  bool AnotherInstanceRunning();

 private:
  UniqueKernelHandle mutex_;
  bool another_instance_ = false;
};

}  // namespace tllink::platform::win32
