#include "platform/wayland/wayland_selection_thread.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QMetaObject>
#include <QString>
#include <QStringEncoder>
#include <algorithm>
#include <climits>
#include <utility>

#include "platform/desktop/qt_text.h"
#include "platform/wayland/wayland_offer.h"

namespace tllink::platform::wayland {

using desktop::ToQString;

namespace {

using Clock = WaylandSelectionThread::Clock;

// How long a program that pastes may go without taking any of the text it asked for.
constexpr std::chrono::seconds kSendPatience{5};

// Milliseconds until `deadline` for poll(), never negative.
int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Unpaired surrogates, which UTF-8 cannot carry, become U+FFFD.
std::string ToUtf8(std::u16string_view text) {
  QStringEncoder encoder(QStringEncoder::Utf8);
  const QByteArray bytes = encoder.encode(ToQString(text));
  return bytes.toStdString();
}

}  // namespace

std::unique_ptr<WaylandSelectionThread> WaylandSelectionThread::Start(Handlers handlers) {
  WaylandDisplay display = ConnectToWaylandSession();
  if (display == nullptr) return nullptr;
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (wake.Get() < 0) return nullptr;
  auto thread = std::make_unique<WaylandSelectionThread>(Passkey{}, std::move(display),
                                                         std::move(wake), std::move(handlers));
  thread->control_ = BindDataControl(thread->display_.get(), *thread);
  if (thread->control_ == nullptr) return nullptr;
  thread->thread_ = std::thread([self = thread.get()] { self->Run(); });
  return thread;
}

WaylandSelectionThread::WaylandSelectionThread(Passkey, WaylandDisplay display, UniqueFd wake,
                                               Handlers handlers)
    : handlers_(std::move(handlers)), display_(std::move(display)), wake_(std::move(wake)) {}

WaylandSelectionThread::~WaylandSelectionThread() {
  {
    const std::scoped_lock lock(mutex_);
    stopping_ = true;
  }
  Wake();
  if (thread_.joinable()) thread_.join();
  // The program's content leaves the clipboard with it; a clipboard manager may keep it.
  control_.reset();
  if (!lost_) wl_display_flush(display_.get());
}

void WaylandSelectionThread::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wake_.Get(), &one, sizeof one);
}

void WaylandSelectionThread::Read(std::uint64_t request, std::u16string rich_if_containing) {
  {
    const std::scoped_lock lock(mutex_);
    wanted_read_ = ReadRequest{request, std::move(rich_if_containing)};
  }
  Wake();
}

void WaylandSelectionThread::Write(WaylandWriteRequest request) {
  {
    const std::scoped_lock lock(mutex_);
    wanted_write_ = std::move(request);
  }
  Wake();
}

void WaylandSelectionThread::Answer(WaylandReadAnswer answer) {
  QMetaObject::invokeMethod(
      &gui_context_,
      [this, answer = std::move(answer)]() mutable { handlers_.on_read(std::move(answer)); },
      Qt::QueuedConnection);
}

void WaylandSelectionThread::Answer(WaylandWriteAnswer answer) {
  QMetaObject::invokeMethod(
      &gui_context_, [this, answer] { handlers_.on_write(answer); }, Qt::QueuedConnection);
}

void WaylandSelectionThread::Selection(std::optional<std::vector<std::string>> mime_types) {
  const std::uint32_t sequence = sequence_.fetch_add(1) + 1;
  // The program's mark on the content of its latest source, while that is still the selection:
  // the content is the text it wrote.
  const bool ours = mime_types && live_source_ && ReadWaylandOffer(*mime_types).own_mark;
  current_ = Current{sequence, std::move(mime_types), ours};
  // A read of the content that has gone is dropped: the GUI thread hears of the change and
  // asks for the new content.
  fetching_.reset();
  if (writing_ && ours) {
    Answer(WaylandWriteAnswer{writing_->request, Clipboard::WriteStatus::Ok, sequence});
    writing_.reset();
  }
  QMetaObject::invokeMethod(
      &gui_context_, [this] { handlers_.on_change(); }, Qt::QueuedConnection);
}

void WaylandSelectionThread::Send(DataControl::SourceId source, const std::string& mime_type,
                                  UniqueFd fd) {
  const auto found = sources_.find(source);
  if (found == sources_.end()) return;
  const std::shared_ptr<const OwnContent>& content = found->second;
  const std::string* bytes = content->ServedAs(mime_type);
  // Asked for the mark, or for a type never offered: the pipe closes with nothing in it.
  if (bytes == nullptr) return;
  OutgoingPipe pipe(std::move(fd), std::shared_ptr<const std::string>(content, bytes));
  if (pipe.Write()) return;  // all of it at once: content that fits the pipe
  sending_.push_back(Sending{std::move(pipe), Clock::now() + kSendPatience});
}

const std::string* WaylandSelectionThread::OwnContent::ServedAs(std::string_view mime_type) const {
  if (IsOwnTextType(mime_type)) return &utf8;
  const auto format = std::find_if(rich.begin(), rich.end(), [mime_type](const RichFormat& each) {
    return each.name == mime_type;
  });
  return format == rich.end() ? nullptr : &format->bytes;
}

void WaylandSelectionThread::Cancelled(DataControl::SourceId source) {
  if (live_source_ == source) {
    live_source_.reset();
    current_.ours = false;
  }
  // Cancelled before it was ever the selection: the compositor did not take it.
  if (writing_ && writing_->source == source) {
    Answer(WaylandWriteAnswer{writing_->request, Clipboard::WriteStatus::Failed, 0});
    writing_.reset();
  }
  sources_.erase(source);  // what is being sent of it still goes out
}

void WaylandSelectionThread::Finished() {
  Lost();
}

void WaylandSelectionThread::Lost() {
  if (lost_) return;
  lost_ = true;
  if (fetching_) {
    Answer(WaylandReadAnswer{fetching_->request,
                             Clipboard::ReadStatus::NoText,
                             {},
                             fetching_->sequence,
                             {},
                             fetching_->asked_with});
    fetching_.reset();
  }
  if (writing_) {
    Answer(WaylandWriteAnswer{writing_->request, Clipboard::WriteStatus::Failed, 0});
    writing_.reset();
  }
}

void WaylandSelectionThread::FailRequests() {
  if (fetching_) {
    const std::uint64_t request = fetching_->request;
    const std::uint32_t sequence = fetching_->sequence;
    fetching_.reset();
    Answer(WaylandReadAnswer{request, Clipboard::ReadStatus::Failed, {}, sequence, {}, {}});
  }
  if (writing_) {
    const std::uint64_t request = writing_->request;
    writing_.reset();
    Answer(WaylandWriteAnswer{request, Clipboard::WriteStatus::Failed, 0});
  }
}

template <typename Step>
void WaylandSelectionThread::Guarded(Step step) {
  try {
    step();
  } catch (...) {
    try {
      FailRequests();
    } catch (...) {
      // Not even the answer could be made; the next change asks again.
    }
  }
}

void WaylandSelectionThread::StartRead(ReadRequest request, Clock::time_point now) {
  fetching_.reset();  // a newer request: the older one is of no use
  if (lost_ || !current_.mime_types) {
    Answer(WaylandReadAnswer{request.request,
                             Clipboard::ReadStatus::NoText,
                             {},
                             current_.sequence,
                             {},
                             std::move(request.rich_if_containing)});
    return;
  }
  if (current_.ours) {
    if (const auto found = sources_.find(*live_source_); found != sources_.end()) {
      const OwnContent& content = *found->second;
      const bool rich_wanted =
          !request.rich_if_containing.empty() &&
          content.text.find(request.rich_if_containing) != std::u16string::npos;
      Answer(WaylandReadAnswer{request.request, Clipboard::ReadStatus::Ok, content.text,
                               current_.sequence,
                               rich_wanted ? content.rich : std::vector<RichFormat>{},
                               std::move(request.rich_if_containing)});
      return;
    }
  }
  fetching_.emplace(std::move(request), current_, *control_, now);
  AnswerFetchIfFinished();
}

void WaylandSelectionThread::AnswerFetchIfFinished() {
  if (!fetching_ || !fetching_->fetch.Finished()) return;
  Answer(WaylandReadAnswer{fetching_->request, fetching_->fetch.Status(),
                           fetching_->fetch.TakeText(), fetching_->sequence,
                           fetching_->fetch.TakeRich(), std::move(fetching_->asked_with)});
  fetching_.reset();
}

void WaylandSelectionThread::StartWrite(WriteRequest request) {
  if (lost_) {
    Answer(WaylandWriteAnswer{request.request, Clipboard::WriteStatus::Failed, 0});
    return;
  }
  // Someone copied since the text was read: their copy stays. (One that the compositor has
  // not told of yet can still be overwritten; no protocol offers more.)
  // Taking a conversion back: only over this program's own source, still the selection.
  if (request.expected_sequence != sequence_.load() ||
      (request.only_over_own && !(current_.ours && live_source_))) {
    Answer(WaylandWriteAnswer{request.request, Clipboard::WriteStatus::Changed, 0});
    return;
  }
  std::vector<std::string> types(OwnMimeTypes().begin(), OwnMimeTypes().end());
  for (const RichFormat& format : request.rich) {
    // Served as the text, should a rich format ever share a text type's name.
    if (std::find(types.begin(), types.end(), format.name) == types.end()) {
      types.push_back(format.name);
    }
  }
  auto content = std::make_shared<const OwnContent>(
      OwnContent{ToUtf8(request.text), std::move(request.text), std::move(request.rich)});
  const DataControl::SourceId source = control_->SetSelection(types);
  sources_.emplace(source, std::move(content));
  live_source_ = source;
  // Answered once the compositor reports the selection with the program's mark.
  writing_ = Writing{request.request, source};
}

void WaylandSelectionThread::Run() {
  BlockBrokenPipeSignal();
  ::pthread_setname_np(::pthread_self(), "tllink-wayland");  // told apart in scripts/perf-linux
  wl_display* display = display_.get();
  for (;;) {
    std::optional<ReadRequest> read;
    std::optional<WriteRequest> write;
    {
      const std::scoped_lock lock(mutex_);
      if (stopping_) return;
      read = std::exchange(wanted_read_, std::nullopt);
      write = std::exchange(wanted_write_, std::nullopt);
    }
    // Weighed against every selection the compositor has told of so far.
    Clock::time_point now = Clock::now();
    if (write) Guarded([&] { StartWrite(std::move(*write)); });
    if (read) Guarded([&] { StartRead(std::move(*read), now); });
    if (fetching_) {
      Guarded([&] {
        fetching_->fetch.CheckDeadline(now);
        AnswerFetchIfFinished();
      });
    }
    // A program that asked to paste and never takes the text: given up on.
    std::erase_if(sending_, [now](const Sending& sending) { return now >= sending.deadline; });

    // Waits for the compositor, the pipes or the GUI thread; the events already queued first.
    bool reading = false;
    short display_events = POLLIN;
    if (!lost_) {
      while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
          Lost();
          break;
        }
      }
      reading = !lost_;
      if (reading && wl_display_flush(display) < 0) {
        if (errno == EAGAIN) {
          display_events |= POLLOUT;  // the rest once the socket takes it
        } else {
          wl_display_cancel_read(display);
          reading = false;
          Lost();
        }
      }
    }
    std::vector<pollfd> fds{{wake_.Get(), POLLIN, 0},
                            {reading ? wl_display_get_fd(display) : -1, display_events, 0},
                            {fetching_ ? fetching_->fetch.Fd() : -1, POLLIN, 0}};
    std::optional<Clock::time_point> deadline;
    if (fetching_) deadline = fetching_->fetch.Deadline();
    for (const Sending& sending : sending_) {
      fds.push_back({sending.pipe.Fd(), POLLOUT, 0});
      deadline = std::min(deadline.value_or(sending.deadline), sending.deadline);
    }
    ::poll(fds.data(), fds.size(), deadline ? MillisecondsUntil(*deadline) : -1);
    if ((fds[0].revents & POLLIN) != 0) {
      std::uint64_t wakes = 0;
      [[maybe_unused]] const auto taken = ::read(wake_.Get(), &wakes, sizeof wakes);
    }

    // The pipes before the compositor's news, which may end the fetch they belong to.
    now = Clock::now();
    if (fetching_ && fds[2].revents != 0) {
      Guarded([&] {
        fetching_->fetch.Readable(now);
        AnswerFetchIfFinished();
      });
    }
    std::vector<Sending> still_sending;
    for (std::size_t i = 0; i < sending_.size(); ++i) {
      Sending& sending = sending_[i];
      if (fds[3 + i].revents != 0) {
        if (sending.pipe.Write()) continue;
        sending.deadline = now + kSendPatience;
      }
      still_sending.push_back(std::move(sending));
    }
    sending_ = std::move(still_sending);

    if (reading) {
      if ((fds[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        if (wl_display_read_events(display) < 0) Lost();
      } else {
        wl_display_cancel_read(display);
      }
      if (!lost_ && wl_display_dispatch_pending(display) < 0) Lost();
    }
  }
}

}  // namespace tllink::platform::wayland
