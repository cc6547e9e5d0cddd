// A clipboard owner that stops answering, as a hung program does: it takes CLIPBOARD with a
// real timestamp, offering TEXT as UTF8_STRING (and each FORMAT=VALUE given), then reads no
// event for SILENT_MS (requests queue up in the X server; 0: none), then answers what queued
// and whatever comes next, and ends LINGER_MS later.
//
//   silent-owner TEXT SILENT_MS LINGER_MS [FORMAT=VALUE...]
//
// stdout: "owner" once the clipboard is its own, "awake" when it reads events again.
// stderr: each request it answered.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Requestors that gave up have destroyed their windows: writing there fails, harmlessly.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

struct CloseDisplay {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

using Formats = std::vector<std::pair<Atom, std::string>>;

void Answer(Display* display, const XSelectionRequestEvent& request, Time taken,
            const Formats& formats) {
  const Atom targets = XInternAtom(display, "TARGETS", False);
  XSelectionEvent notify{};
  notify.type = SelectionNotify;
  notify.requestor = request.requestor;
  notify.selection = request.selection;
  notify.target = request.target;
  notify.time = request.time;
  notify.property = None;
  const Atom property = request.property == None ? request.target : request.property;
  const bool in_time = request.time == CurrentTime || request.time >= taken;
  if (in_time && request.target == targets) {
    std::vector<Atom> offered{targets};
    for (const auto& format : formats) offered.push_back(format.first);
    XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(offered.data()),
                    static_cast<int>(offered.size()));
    notify.property = property;
  }
  for (const auto& [format, value] : formats) {
    if (!in_time || request.target != format) continue;
    XChangeProperty(display, request.requestor, property, format, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value.data()),
                    static_cast<int>(value.size()));
    notify.property = property;
  }
  XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&notify));
  XFlush(display);
  char* name = XGetAtomName(display, request.target);
  std::fprintf(stderr, "silent-owner: answered %s for window 0x%lx\n", name ? name : "?",
               request.requestor);
  XFree(name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s TEXT SILENT_MS LINGER_MS [FORMAT=VALUE...]\n", argv[0]);
    return 2;
  }
  const auto silent = std::chrono::milliseconds(std::atoi(argv[2]));
  const auto linger = std::chrono::milliseconds(std::atoi(argv[3]));
  const std::unique_ptr<Display, CloseDisplay> display(XOpenDisplay(nullptr));
  if (!display) return 1;
  Display* d = display.get();
  Formats formats{{XInternAtom(d, "UTF8_STRING", False), argv[1]}};
  for (int i = 4; i < argc; ++i) {
    const std::string format = argv[i];
    const std::size_t equals = format.find('=');
    if (equals == std::string::npos) return 2;
    formats.emplace_back(XInternAtom(d, format.substr(0, equals).c_str(), False),
                         format.substr(equals + 1));
  }
  XSetErrorHandler(IgnoreErrors);
  const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(d, window, PropertyChangeMask);

  // A real timestamp, as ICCCM asks of an owner: the time of a change to its own window.
  XChangeProperty(d, window, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XEvent event;
  XWindowEvent(d, window, PropertyChangeMask, &event);
  const Time taken = event.xproperty.time;
  const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
  XSetSelectionOwner(d, clipboard, window, taken);
  if (XGetSelectionOwner(d, clipboard) != window) return 1;
  std::printf("owner\n");
  std::fflush(stdout);

  std::this_thread::sleep_for(silent);  // no event read: requests wait in the server
  std::printf("awake\n");
  std::fflush(stdout);

  const auto end = std::chrono::steady_clock::now() + linger;
  while (std::chrono::steady_clock::now() < end) {
    while (XPending(d) > 0) {
      XNextEvent(d, &event);
      if (event.type == SelectionRequest) Answer(d, event.xselectionrequest, taken, formats);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}
