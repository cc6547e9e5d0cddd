#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/win32/handles.h"

namespace tllink::platform::win32 {

// A thread of the program's own for every exchange with the clipboard. Reading a text that its
// owner renders on request, and emptying the clipboard (which tells the previous owner), wait
// for that program for as long as it is busy or hung; the thread waits in the GUI's stead.
// Its message-only window opens the clipboard and so owns what the program puts there.
class ClipboardThread {
 public:
  // A job runs on the thread with its window; the thread then posts `done_message` to
  // `notify`, whose thread takes the job's result.
  using Job = std::function<void(HWND window)>;

  ClipboardThread(HWND notify, UINT done_message);
  // Waits for the thread to end, unless a job still waits for another program: the thread is
  // then left to the end of the process, which takes it down.
  ~ClipboardThread();
  ClipboardThread(const ClipboardThread&) = delete;
  ClipboardThread& operator=(const ClipboardThread&) = delete;

  // Hands `job` to the thread, which is started on first use. A job handed over while another
  // runs waits for it, in place of any job that was waiting: only the newest is still wanted.
  // False when the thread cannot be started.
  bool Start(Job job);

 private:
  struct Shared;
  static unsigned __stdcall ThreadMain(void* shared);
  static void Run(std::shared_ptr<Shared> shared);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept;

  std::shared_ptr<Shared> shared_;
  UniqueKernelHandle thread_;
};

}  // namespace tllink::platform::win32
