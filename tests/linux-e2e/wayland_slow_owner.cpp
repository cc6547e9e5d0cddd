// A clipboard owner on Wayland that is slow to hand over its content, as a busy program is: it
// makes its content the selection through data control (as wl-copy does), offered as TEXT under
// the UTF-8 text types and as each TYPE=VALUE given, then reads nothing from the compositor for
// SILENT_MS (requests for its content wait in the socket; 0: none), then answers what waited
// and whatever comes next, and ends LINGER_MS later.
//
//   wayland-slow-owner TEXT SILENT_MS LINGER_MS [TYPE=VALUE...]
//
// stdout: "owner" once its content is the selection, "awake" when it reads requests again.
// stderr: each request it answered.

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/wayland/wayland_data_control.h"
#include "platform/wayland/wayland_display.h"

namespace {

using tllink::platform::desktop::UniqueFd;
using tllink::platform::wayland::DataControl;

class Owner final : public DataControl::Events {
 public:
  explicit Owner(std::map<std::string, std::string> content) : content_(std::move(content)) {}

  void Selection(std::optional<std::vector<std::string>>) override {}
  void Send(DataControl::SourceId, const std::string& mime_type, UniqueFd fd) override {
    const auto found = content_.find(mime_type);
    if (found != content_.end()) {
      // A requestor that gave up has closed its end: the write fails, harmlessly.
      [[maybe_unused]] const auto written =
          ::write(fd.Get(), found->second.data(), found->second.size());
    }
    std::fprintf(stderr, "wayland-slow-owner: answered %s\n", mime_type.c_str());
  }
  void Cancelled(DataControl::SourceId) override { cancelled_ = true; }
  void Finished() override {}

  bool cancelled() const { return cancelled_; }
  std::vector<std::string> Types() const {
    std::vector<std::string> types;
    for (const auto& [type, value] : content_) types.push_back(type);
    return types;
  }

 private:
  std::map<std::string, std::string> content_;
  bool cancelled_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s TEXT SILENT_MS LINGER_MS [TYPE=VALUE...]\n", argv[0]);
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);
  const auto silent = std::chrono::milliseconds(std::atoi(argv[2]));
  const auto linger = std::chrono::milliseconds(std::atoi(argv[3]));
  std::map<std::string, std::string> content{
      {"text/plain;charset=utf-8", argv[1]}, {"text/plain", argv[1]}, {"UTF8_STRING", argv[1]}};
  for (int i = 4; i < argc; ++i) {
    const std::string format = argv[i];
    const std::size_t equals = format.find('=');
    if (equals == std::string::npos) return 2;
    content[format.substr(0, equals)] = format.substr(equals + 1);
  }

  const tllink::platform::wayland::WaylandDisplay display =
      tllink::platform::wayland::ConnectToWaylandSession();
  if (display == nullptr) return 1;
  Owner owner(std::move(content));
  const std::unique_ptr<DataControl> control =
      tllink::platform::wayland::BindDataControl(display.get(), owner);
  if (control == nullptr) return 1;
  control->SetSelection(owner.Types());
  // The compositor has taken the source once it answers a round trip without cancelling it.
  if (wl_display_roundtrip(display.get()) < 0 || owner.cancelled()) return 1;
  std::printf("owner\n");
  std::fflush(stdout);

  std::this_thread::sleep_for(silent);  // nothing read: requests wait in the socket
  std::printf("awake\n");
  std::fflush(stdout);

  const auto end = std::chrono::steady_clock::now() + linger;
  while (std::chrono::steady_clock::now() < end) {
    if (wl_display_dispatch_pending(display.get()) < 0) return 1;
    wl_display_flush(display.get());
    pollfd fd{wl_display_get_fd(display.get()), POLLIN, 0};
    if (::poll(&fd, 1, 10) > 0 && wl_display_dispatch(display.get()) < 0) return 1;
  }
  return 0;
}
