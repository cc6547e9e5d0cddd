// Times how long a clipboard rewriter takes to rewrite what a real Wayland client copied: the
// Wayland counterpart of clip_latency, on the compositor $WAYLAND_DISPLAY names, watching the
// selection through data control.
//
//   wl_clip_latency [--verbose] [--busy-owner] --copies N --find TEXT --replacement TEXT
//                   [--timeout-ms MS] [--seed S] [--samples FILE]
//
// Each copy is made by wl-copy with a text holding the find text once. The clock starts when the
// compositor reports wl-copy's content as the selection, so wl-copy's own start-up is not
// counted, and stops when a later selection serves the rewritten text. Between copies it waits a
// random 0-100 ms. With --busy-owner, each copy is made while an older owner is busy: before
// it, this tool makes content of its own the selection and never writes it to whoever asks, and
// wl-copy copies 20-100 ms later.
// Prints one line: "copies=N missed=M median_ms=... p90_ms=... p99_ms=... max_ms=... mean_ms=...
// over_1s=K", where K counts the copies rewritten after more than 1 s and those missed.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/wayland/wayland_data_control.h"
#include "platform/wayland/wayland_display.h"

#include "latency_run.h"

extern char** environ;

namespace {

using tllink::perf::kLatencyUsage;
using tllink::perf::LatencyOptions;
using tllink::perf::ParseLatencyOptions;
using tllink::perf::ReportLatencies;
using tllink::perf::Rewritten;

using tllink::platform::desktop::UniqueFd;
using tllink::platform::wayland::DataControl;
using Clock = std::chrono::steady_clock;

// The selection as the compositor reports it, and the busy owner's content, which is never
// handed over: the pipes of those who ask are kept open, unwritten, until released.
class Watcher final : public DataControl::Events {
 public:
  explicit Watcher(wl_display* display) : display_(display) {}
  void Bind(std::unique_ptr<DataControl> control) { control_ = std::move(control); }
  bool Bound() const { return control_ != nullptr; }

  void Selection(std::optional<std::vector<std::string>>) override { ++selections_; }
  void Send(DataControl::SourceId, const std::string&, UniqueFd fd) override {
    withheld_.push_back(std::move(fd));
  }
  void Cancelled(DataControl::SourceId) override {}
  void Finished() override { finished_ = true; }

  int Selections() const { return selections_; }

  // Dispatches the compositor's events until `deadline` or until a selection after `seen`.
  bool WaitForSelectionAfter(int seen, Clock::time_point deadline) {
    while (selections_ <= seen) {
      if (finished_ || !DispatchUntil(deadline)) return false;
    }
    return true;
  }

  // Dispatches for `duration`, whatever comes.
  void DispatchFor(std::chrono::milliseconds duration) {
    const auto until = Clock::now() + duration;
    while (DispatchUntil(until)) {
    }
  }

  void TakeSelectionAndWithhold() {
    static const std::vector<std::string> types{"text/plain;charset=utf-8", "text/plain"};
    control_->SetSelection(types);
    wl_display_roundtrip(display_);
  }
  void Release() { withheld_.clear(); }

  // The current selection's text, as a paste would get it, or nothing within `deadline`.
  std::optional<std::string> Paste(Clock::time_point deadline) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd read_end(ends[0]);
    UniqueFd write_end(ends[1]);
    if (!control_->Receive("text/plain;charset=utf-8", write_end.Get())) return std::nullopt;
    write_end.Reset();  // the request carries a copy: the owner's is the one that ends the text
    wl_display_flush(display_);
    std::string text;
    std::array<char, 4096> chunk;
    for (;;) {
      pollfd fd{read_end.Get(), POLLIN, 0};
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) <= 0) return std::nullopt;
      const ssize_t got = ::read(read_end.Get(), chunk.data(), chunk.size());
      if (got < 0) return std::nullopt;
      if (got == 0) return text;
      text.append(chunk.data(), static_cast<std::size_t>(got));
    }
  }

 private:
  bool DispatchUntil(Clock::time_point deadline) {
    if (wl_display_dispatch_pending(display_) < 0) return false;
    wl_display_flush(display_);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left)) > 0) return wl_display_dispatch(display_) >= 0;
    return true;
  }

  wl_display* display_;
  std::unique_ptr<DataControl> control_;
  int selections_ = 0;
  bool finished_ = false;
  std::vector<UniqueFd> withheld_;
};

// Copies `text` with wl-copy, which leaves a child serving it until someone else copies.
bool CopyWithWlCopy(const std::string& text) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = "wl-copy";
  std::string copied = text;
  char* args[] = {program.data(), copied.data(), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "wl-copy", &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned == 0) waitpid(child, &status, 0);
  return spawned == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<LatencyOptions> options = ParseLatencyOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, kLatencyUsage, argv[0]);
    return 2;
  }
  const tllink::platform::wayland::WaylandDisplay display =
      tllink::platform::wayland::ConnectToWaylandSession();
  if (display == nullptr) {
    std::fprintf(stderr, "wl_clip_latency: no Wayland compositor to connect to\n");
    return 1;
  }
  Watcher watcher(display.get());
  watcher.Bind(tllink::platform::wayland::BindDataControl(display.get(), watcher));
  if (!watcher.Bound()) {
    std::fprintf(stderr, "wl_clip_latency: the compositor offers no data control\n");
    return 1;
  }

  std::mt19937 random(options->seed);
  std::uniform_int_distribution<int> gap_ms(0, 99);
  std::uniform_int_distribution<int> busy_gap_ms(20, 100);
  std::vector<double> latencies;
  int missed = 0;
  for (int copy = 0; copy < options->copies; ++copy) {
    // A new text each time, so that every copy is a change to rewrite.
    const std::string text = "see " + options->find + "file-" + std::to_string(copy) + ".pdf";
    const std::string expected = Rewritten(text, options->find, options->replacement);
    if (options->busy_owner) {
      watcher.TakeSelectionAndWithhold();
      watcher.DispatchFor(std::chrono::milliseconds(busy_gap_ms(random)));
    }
    watcher.DispatchFor(std::chrono::milliseconds(0));
    const int before = watcher.Selections();
    const auto deadline = Clock::now() + std::chrono::milliseconds(options->timeout_ms);
    if (!CopyWithWlCopy(text)) {
      std::fprintf(stderr, "wl_clip_latency: wl-copy failed\n");
      return 1;
    }
    // wl-copy's selection first; then each later one, read until it serves the rewrite.
    const bool copied = watcher.WaitForSelectionAfter(before, deadline);
    const auto copied_at = Clock::now();
    std::optional<double> latency;
    std::optional<std::string> pasted;
    int seen = before + 1;  // wl-copy's; a later one may have come with it
    while (copied && !latency && watcher.WaitForSelectionAfter(seen, deadline)) {
      seen = watcher.Selections();
      pasted = watcher.Paste(std::min(deadline, Clock::now() + std::chrono::milliseconds(200)));
      if (pasted == expected) {
        latency = std::chrono::duration<double, std::milli>(Clock::now() - copied_at).count();
      }
    }
    watcher.Release();
    if (options->verbose) {
      std::fprintf(stderr, "copy %d: %s: \"%s\"\n", copy, copied ? "seen" : "not seen",
                   pasted ? pasted->c_str() : "(nothing)");
    }
    if (latency) {
      latencies.push_back(*latency);
    } else {
      ++missed;
    }
    watcher.DispatchFor(std::chrono::milliseconds(gap_ms(random)));
  }

  return ReportLatencies(options->copies, missed, std::move(latencies), options->samples);
}
