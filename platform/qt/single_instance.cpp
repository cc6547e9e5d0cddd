#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>

#include "platform/failure.h"

namespace tllink::platform::qt {

std::string SingleInstance::DefaultLockPath() {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    // Asked without the runtime folder set, Qt would make one in /tmp and warn about it.
    folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
             QStringLiteral("/tllink");
  }
  return (folder + QStringLiteral("/tllink.lock")).toStdString();
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}

bool SingleInstance::AnotherInstanceRunning() {
  if (tested_) return another_instance_;
  const std::string path = lock_path_.empty() ? DefaultLockPath() : lock_path_;
  QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) throw Failure(u"無法檢查程式是否已在執行");
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    fd_ = fd;
    another_instance_ = false;
  } else {
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK) throw Failure(u"無法檢查程式是否已在執行");
    another_instance_ = true;
  }
  tested_ = true;
  return another_instance_;
}

}  // namespace tllink::platform::qt
