#include "platform/x11/x11_selection_reader.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xfixes.h>

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <climits>
#include <utility>

#include "platform/x11/x11_selection_fetch.h"

namespace tllink::platform::x11 {

namespace {

using Clock = SelectionFetch::Clock;

xcb_window_t RootOfScreen(xcb_connection_t* connection, int screen_number) {
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; screens.rem > 0; ++i, xcb_screen_next(&screens)) {
    if (i == screen_number) return screens.data->root;
  }
  return XCB_WINDOW_NONE;
}

// Milliseconds until `deadline` for poll(), never negative.
int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

}  // namespace

std::unique_ptr<X11SelectionReader> X11SelectionReader::Start(const char* display,
                                                              AnswerHandler on_answer) {
  int screen_number = 0;
  XcbConnection connection(xcb_connect(display, &screen_number));
  xcb_connection_t* c = connection.get();
  if (xcb_connection_has_error(c) != 0) return nullptr;
  const xcb_window_t root = RootOfScreen(c, screen_number);
  const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
  if (root == XCB_WINDOW_NONE || xfixes == nullptr || xfixes->present == 0) return nullptr;
  // Selection notifications came with the extension's first version; asking for a version
  // is what enables its requests.
  const XcbPointer<xcb_xfixes_query_version_reply_t> version(
      xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 1, 0), nullptr));
  std::optional<ClipboardAtoms> atoms = ClipboardAtoms::Intern(c);
  if (version == nullptr || !atoms) return nullptr;
  xcb_xfixes_select_selection_input(c, root, atoms->clipboard,
                                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
  xcb_flush(c);
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (wake.Get() < 0) return nullptr;
  return std::make_unique<X11SelectionReader>(Passkey{}, std::move(connection), root, *atoms,
                                              xfixes->first_event, std::move(wake),
                                              std::move(on_answer));
}

X11SelectionReader::X11SelectionReader(Passkey, XcbConnection connection, xcb_window_t root,
                                       ClipboardAtoms atoms, std::uint8_t xfixes_first_event,
                                       UniqueFd wake, AnswerHandler on_answer)
    : on_answer_(std::move(on_answer)),
      connection_(std::move(connection)),
      root_(root),
      atoms_(atoms),
      xfixes_first_event_(xfixes_first_event),
      wake_(std::move(wake)),
      thread_([this] { Run(); }) {}

X11SelectionReader::~X11SelectionReader() {
  {
    const std::scoped_lock lock(mutex_);
    stopping_ = true;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wake_.Get(), &one, sizeof one);
  thread_.join();
  // A fetch under way went with the thread, its window with it. Answers still queued go with
  // gui_context_.
}

void X11SelectionReader::Fetch(std::uint64_t request, std::u16string rich_if_containing) {
  {
    const std::scoped_lock lock(mutex_);
    wanted_ = Wanted{request, std::move(rich_if_containing)};
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wake_.Get(), &one, sizeof one);
}

void X11SelectionReader::Deliver(SelectionAnswer answer) {
  QMetaObject::invokeMethod(
      &gui_context_,
      [this, answer = std::move(answer)]() mutable { on_answer_(std::move(answer)); },
      Qt::QueuedConnection);
}

void X11SelectionReader::Run() {
  ::pthread_setname_np(::pthread_self(), "tllink-x11");  // told apart in scripts/perf-linux
  xcb_connection_t* c = connection_.get();
  const SelectionFetch::Connection x{c, root_, &atoms_};
  const int selection_notify = xfixes_first_event_ + XCB_XFIXES_SELECTION_NOTIFY;
  std::optional<SelectionFetch> fetch;
  std::uint64_t request = 0;
  for (;;) {
    std::optional<Wanted> wanted;
    {
      const std::scoped_lock lock(mutex_);
      if (stopping_) return;
      wanted = std::exchange(wanted_, std::nullopt);
    }
    try {
      const bool broken = xcb_connection_has_error(c) != 0;
      if (wanted) {
        fetch.reset();  // dropped: the newer request is about newer content
        request = wanted->request;
        if (broken) {
          Deliver(
              SelectionAnswer{request, Clipboard::ReadStatus::NoText, {}, {}, XCB_WINDOW_NONE, 0});
        } else {
          fetch.emplace(x, Clock::now(), std::move(wanted->rich_if_containing));
        }
      }
      // Everything xcb has, including what it queued while waiting for replies: poll() below
      // only tells of what is still in the socket.
      while (!broken) {
        const XcbPointer<xcb_generic_event_t> event(xcb_poll_for_event(c));
        if (event == nullptr) break;
        if ((event->response_type & 0x7f) == selection_notify) {
          ++owner_changes_;
          if (fetch) fetch->OwnerChanged(event->full_sequence);
        } else if (fetch) {
          fetch->Handle(*event, Clock::now());
        }
      }
      if (fetch) {
        // A connection lost is a deadline passed: no answer can come any more.
        const bool lost = xcb_connection_has_error(c) != 0;
        fetch->CheckDeadline(lost ? Clock::time_point::max() : Clock::now());
        if (fetch->Finished()) {
          Deliver(SelectionAnswer{request, fetch->Status(), fetch->TakeText(), fetch->TakeRich(),
                                  fetch->Owner(), owner_changes_.load()});
          fetch.reset();
        }
      }
    } catch (...) {
      // Out of memory on a huge copy, say: that fetch fails, and the thread goes on. Every
      // request still gets an answer.
      fetch.reset();
      try {
        Deliver(
            SelectionAnswer{request, Clipboard::ReadStatus::Failed, {}, {}, XCB_WINDOW_NONE, 0});
      } catch (...) {
        // Not even the answer could be made; the next change asks again.
      }
    }
    xcb_flush(c);
    pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {xcb_get_file_descriptor(c), POLLIN, 0}};
    const nfds_t count = xcb_connection_has_error(c) != 0 ? 1 : 2;
    ::poll(fds, count, fetch ? MillisecondsUntil(fetch->Deadline()) : -1);
    if ((fds[0].revents & POLLIN) != 0) {
      std::uint64_t wakes = 0;
      [[maybe_unused]] const auto read = ::read(wake_.Get(), &wakes, sizeof wakes);
    }
  }
}

}  // namespace tllink::platform::x11
