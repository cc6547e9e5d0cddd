// Times how long a clipboard rewriter takes to rewrite what a real X11 client copied: whichever
// program runs on $DISPLAY (tllink.exe or a baseline under Wine), this only watches the X server.
//
//   clip_latency [--verbose] [--busy-owner] --copies N --find TEXT --replacement TEXT
//                [--timeout-ms MS] [--seed S] [--samples FILE]
//
// Each copy is made by xclip with a text holding the find text once. The clock starts when the X
// server reports (XFixes) that xclip owns the CLIPBOARD selection, so xclip's own start-up is not
// counted, and stops when the selection's next owner serves the rewritten text to a paste.
// Between copies it waits a random 0-100 ms, so the copies fall on every phase of a polling
// timer.
// With --busy-owner, each copy is made while an older owner is busy: before it, a second
// connection of this tool takes the CLIPBOARD selection and then never answers a request, and
// xclip copies 20-100 ms later, once the rewriter has begun to ask that owner for its text.
// Prints one line: "copies=N missed=M median_ms=... p90_ms=... p99_ms=... max_ms=... mean_ms=...
// over_1s=K", where K counts the copies rewritten after more than 1 s and those missed.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "latency_run.h"

extern char** environ;

namespace {

using tllink::perf::kLatencyUsage;
using tllink::perf::LatencyOptions;
using tllink::perf::ParseLatencyOptions;
using tllink::perf::ReportLatencies;
using tllink::perf::Rewritten;

struct DisplayClose {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

class Watcher {
 public:
  explicit Watcher(Display* display)
      : display_(display),
        clipboard_(XInternAtom(display, "CLIPBOARD", False)),
        utf8_(XInternAtom(display, "UTF8_STRING", False)),
        property_(XInternAtom(display, "CLIP_LATENCY", False)),
        window_(XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)) {
    XFixesSelectSelectionInput(display_, window_, clipboard_, XFixesSetSelectionOwnerNotifyMask);
    XFlush(display_);
  }

  bool Available() const {
    int event_base = 0;
    int error_base = 0;
    return XFixesQueryExtension(display_, &event_base, &error_base) != 0;
  }

  // The next change of the CLIPBOARD owner within the time limit: its owner and server time.
  struct OwnerChange {
    Window owner;
    Time time;
  };
  std::optional<OwnerChange> NextOwnerChange(std::chrono::steady_clock::time_point deadline) {
    int event_base = 0;
    int error_base = 0;
    XFixesQueryExtension(display_, &event_base, &error_base);
    for (;;) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == event_base + XFixesSelectionNotify) {
          const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
          if (notify.selection == clipboard_) return OwnerChange{notify.owner, notify.timestamp};
        }
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      WaitForEvents(deadline);
    }
  }

  // Forgets the owner changes seen so far (a late one of the previous copy).
  void Drain() {
    XSync(display_, False);
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
    }
  }

  // The selection's text as a paste would get it, or nullopt.
  std::optional<std::string> Paste(std::chrono::steady_clock::time_point deadline) {
    XConvertSelection(display_, clipboard_, utf8_, property_, window_, CurrentTime);
    XFlush(display_);
    for (;;) {
      XEvent event;
      while (XCheckTypedWindowEvent(display_, window_, SelectionNotify, &event)) {
        if (event.xselection.property == None) return std::nullopt;
        return TakeProperty();
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      WaitForEvents(deadline);
    }
  }

  ~Watcher() { XDestroyWindow(display_, window_); }
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

 private:
  void WaitForEvents(std::chrono::steady_clock::time_point deadline) {
    XFlush(display_);
    fd_set read;
    FD_ZERO(&read);
    const int fd = ConnectionNumber(display_);
    FD_SET(fd, &read);
    const auto left = std::max(std::chrono::duration_cast<std::chrono::microseconds>(
                                   deadline - std::chrono::steady_clock::now()),
                               std::chrono::microseconds(0));
    timeval timeout{static_cast<time_t>(left.count() / 1000000),
                    static_cast<suseconds_t>(left.count() % 1000000)};
    select(fd + 1, &read, nullptr, nullptr, &timeout);
  }

  std::optional<std::string> TakeProperty() {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window_, property_, 0, 1 << 20, True, AnyPropertyType, &type,
                           &format, &items, &after, &data) != Success ||
        data == nullptr)
      return std::nullopt;
    const std::unique_ptr<unsigned char, int (*)(void*)> owner(data, &XFree);
    if (format != 8) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), items);
  }

  Display* display_;
  Atom clipboard_;
  Atom utf8_;
  Atom property_;
  Window window_;
};

// An owner of the CLIPBOARD selection that never answers: its connection's events are never
// read, so requests to it wait in the X server until the tool ends.
class SilentOwner {
 public:
  SilentOwner()
      : display_(XOpenDisplay(nullptr)),
        clipboard_(display_ ? XInternAtom(display_.get(), "CLIPBOARD", False) : None),
        window_(display_ ? XCreateSimpleWindow(display_.get(), DefaultRootWindow(display_.get()), 0,
                                               0, 1, 1, 0, 0, 0)
                         : None) {}
  bool Available() const { return display_ != nullptr; }
  Window Id() const { return window_; }
  void TakeClipboard() {
    XSetSelectionOwner(display_.get(), clipboard_, window_, CurrentTime);
    XFlush(display_.get());
  }

 private:
  std::unique_ptr<Display, DisplayClose> display_;
  Atom clipboard_;
  Window window_;
};

// Copies `text` with xclip, which forks an owner that serves it until someone else copies.
bool CopyWithXclip(const std::string& text) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], STDIN_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char xclip[] = "xclip";
  char selection[] = "-selection";
  char clipboard[] = "clipboard";
  char target[] = "-t";
  char utf8[] = "UTF8_STRING";
  char input[] = "-i";
  char* args[] = {xclip, selection, clipboard, target, utf8, input, nullptr};
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "xclip", &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[0]);
  bool written = spawned == 0 &&
                 write(pipe_fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(pipe_fds[1]);
  int status = 0;
  if (spawned == 0) waitpid(child, &status, 0);
  return written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<LatencyOptions> options = ParseLatencyOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, kLatencyUsage, argv[0]);
    return 2;
  }
  const std::unique_ptr<Display, DisplayClose> display(XOpenDisplay(nullptr));
  if (!display) {
    std::fprintf(stderr, "clip_latency: cannot open the display\n");
    return 1;
  }
  Watcher watcher(display.get());
  if (!watcher.Available()) {
    std::fprintf(stderr, "clip_latency: the X server has no XFixes extension\n");
    return 1;
  }

  std::optional<SilentOwner> silent;
  if (options->busy_owner) {
    silent.emplace();
    if (!silent->Available()) {
      std::fprintf(stderr, "clip_latency: cannot open the display for the busy owner\n");
      return 1;
    }
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
    using Clock = std::chrono::steady_clock;
    if (silent) {
      watcher.Drain();
      silent->TakeClipboard();
      const auto taken = watcher.NextOwnerChange(Clock::now() + std::chrono::seconds(1));
      if (!taken || taken->owner != silent->Id()) {
        std::fprintf(stderr, "clip_latency: the busy owner did not get the clipboard\n");
        return 1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(busy_gap_ms(random)));
    }
    watcher.Drain();
    const auto deadline = Clock::now() + std::chrono::milliseconds(options->timeout_ms);
    if (!CopyWithXclip(text)) {
      std::fprintf(stderr, "clip_latency: xclip failed\n");
      return 1;
    }
    // xclip's own ownership first; then another owner, asked until it serves the rewrite (it
    // may take ownership a moment before it can serve the text).
    const std::optional<Watcher::OwnerChange> copied = watcher.NextOwnerChange(deadline);
    const auto copied_at = Clock::now();
    std::optional<double> latency;
    const std::optional<Watcher::OwnerChange> next =
        copied ? watcher.NextOwnerChange(deadline) : std::nullopt;
    std::optional<std::string> pasted;
    while (next && !latency && Clock::now() < deadline) {
      // Wine leaves a request unanswered now and then: ask again rather than wait for it.
      pasted = watcher.Paste(std::min(deadline, Clock::now() + std::chrono::milliseconds(20)));
      if (pasted == expected) {
        latency = std::chrono::duration<double, std::milli>(Clock::now() - copied_at).count();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    if (options->verbose) {
      std::fprintf(stderr, "copy %d: %s, %s: \"%s\"\n", copy, copied ? "seen" : "not seen",
                   next ? "new owner" : "no new owner", pasted ? pasted->c_str() : "(nothing)");
    }
    if (latency) {
      latencies.push_back(*latency);
    } else {
      ++missed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms(random)));
  }

  return ReportLatencies(options->copies, missed, std::move(latencies), options->samples);
}
