#pragma once

#include <string>

namespace tllink::platform::qt {

// One running instance per user: an exclusive lock on a file in the user's runtime folder,
// held until the process ends. The system drops the lock of a process that crashed or was
// killed, so nothing stale is ever left to clean up.
class SingleInstance {
 public:
  // `lock_path` empty: the user's runtime folder ($XDG_RUNTIME_DIR), or where that is not set
  // (a session without a login manager, or root), the user's cache folder.
  explicit SingleInstance(std::string lock_path = {}) : lock_path_(std::move(lock_path)) {}
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when another instance holds the lock. Throws Failure when the test cannot be made.
  bool AnotherInstanceRunning();

  static std::string DefaultLockPath();

 private:
  std::string lock_path_;
  int fd_ = -1;
  bool tested_ = false;
  bool another_instance_ = false;
};

}  // namespace tllink::platform::qt
