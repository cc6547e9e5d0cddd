#include "platform/wayland/wayland_pipe.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <ctime>

namespace tllink::platform::wayland {

namespace {

void MakeNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// A SIGPIPE that a write to a pipe left pending on this thread (where it is blocked): taken off,
// so that it never reaches the program once unblocked.
void DiscardBrokenPipeSignal() {
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  const timespec now{0, 0};
  while (::sigtimedwait(&pipe_signal, nullptr, &now) == SIGPIPE) {
  }
}

}  // namespace

std::optional<std::pair<IncomingPipe, UniqueFd>> IncomingPipe::Open() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  UniqueFd read_end(ends[0]);
  UniqueFd write_end(ends[1]);
  MakeNonBlocking(read_end.Get());
  return std::pair<IncomingPipe, UniqueFd>(IncomingPipe(std::move(read_end)), std::move(write_end));
}

IncomingPipe::State IncomingPipe::Read() {
  std::array<char, 65536> chunk;
  while (state_ == State::kOpen) {
    const ssize_t got = ::read(fd_.Get(), chunk.data(), chunk.size());
    if (got > 0) {
      const auto size = static_cast<std::size_t>(got);
      if (size > kMaxBytes - bytes_.size()) {
        state_ = State::kTooLarge;
      } else {
        bytes_.append(chunk.data(), size);
      }
    } else if (got == 0) {
      state_ = State::kEnded;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return state_;
    } else if (errno != EINTR) {
      state_ = State::kFailed;
    }
  }
  fd_.Reset();
  if (state_ != State::kEnded) std::string().swap(bytes_);
  return state_;
}

OutgoingPipe::OutgoingPipe(UniqueFd fd, std::shared_ptr<const std::string> bytes)
    : fd_(std::move(fd)), bytes_(std::move(bytes)) {
  MakeNonBlocking(fd_.Get());
}

bool OutgoingPipe::Write() {
  while (written_ < bytes_->size()) {
    const ssize_t put = ::write(fd_.Get(), bytes_->data() + written_, bytes_->size() - written_);
    if (put >= 0) {
      written_ += static_cast<std::size_t>(put);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return false;
    } else if (errno != EINTR) {
      if (errno == EPIPE) DiscardBrokenPipeSignal();
      break;  // the reader has gone: nothing more to do
    }
  }
  fd_.Reset();  // the end of the content, for the reader
  return true;
}

void BlockBrokenPipeSignal() {
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
}

}  // namespace tllink::platform::wayland
