#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/desktop/unique_fd.h"

namespace tllink::platform::wayland {

using desktop::UniqueFd;

// Wayland hands clipboard content from program to program through pipes. Neither end here ever
// waits: the caller polls the descriptor and calls on when it is ready.

// What another program writes into a pipe, until it closes its end.
class IncomingPipe {
 public:
  // Beyond this a text is no clipboard text the program could rewrite in reasonable memory.
  static constexpr std::size_t kMaxBytes = std::size_t{256} << 20;

  enum class State { kOpen, kEnded, kTooLarge, kFailed };

  // A new pipe: this end, and the write end for the other program (to send, then close).
  static std::optional<std::pair<IncomingPipe, UniqueFd>> Open();

  int Fd() const { return fd_.Get(); }
  State GetState() const { return state_; }
  // Takes what the pipe holds, without waiting for more.
  State Read();
  std::string TakeBytes() { return std::move(bytes_); }

 private:
  explicit IncomingPipe(UniqueFd fd) : fd_(std::move(fd)) {}

  UniqueFd fd_;
  std::string bytes_;
  State state_ = State::kOpen;
};

// This program's content going to another program through the pipe it gave.
class OutgoingPipe {
 public:
  OutgoingPipe(UniqueFd fd, std::shared_ptr<const std::string> bytes);

  int Fd() const { return fd_.Get(); }
  // Writes what the pipe takes without waiting; true once there is nothing more to do (all
  // written, or the reader has gone). Call it with SIGPIPE blocked (BlockBrokenPipeSignal).
  bool Write();

 private:
  UniqueFd fd_;
  std::shared_ptr<const std::string> bytes_;
  std::size_t written_ = 0;
};

// Blocks SIGPIPE in the calling thread, so that a reader who leaves early ends a write with
// EPIPE instead of the program.
void BlockBrokenPipeSignal();

}  // namespace tllink::platform::wayland
