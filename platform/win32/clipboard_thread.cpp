#include "platform/win32/clipboard_thread.h"

#include <process.h>

#include <condition_variable>
#include <mutex>
#include <utility>

namespace tllink::platform::win32 {

namespace {

constexpr UINT kRunJob = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"tllink clipboard";

}  // namespace

struct ClipboardThread::Shared {
  HWND notify;
  UINT done_message;
  std::mutex mutex;
  std::condition_variable started;
  bool start_done = false;
  HWND window = nullptr;
  Job job;  // waiting to run
  bool running = false;
};

ClipboardThread::ClipboardThread(HWND notify, UINT done_message)
    : shared_(std::make_shared<Shared>()) {
  shared_->notify = notify;
  shared_->done_message = done_message;
}

ClipboardThread::~ClipboardThread() {
  if (!thread_) return;
  HWND window = nullptr;
  bool running = false;
  {
    const std::lock_guard lock(shared_->mutex);
    window = shared_->window;
    running = shared_->running;
  }
  if (window != nullptr) ::PostMessageW(window, WM_CLOSE, 0, 0);
  // A thread still waiting for another program owns its share of the state and touches nothing
  // else: it is left to the end of the process.
  if (!running) ::WaitForSingleObject(thread_.get(), INFINITE);
}

unsigned __stdcall ClipboardThread::ThreadMain(void* shared) {
  const std::unique_ptr<std::shared_ptr<Shared>> owned(
      static_cast<std::shared_ptr<Shared>*>(shared));
  Run(*owned);
  return 0;
}

bool ClipboardThread::Start(Job job) {
  if (!thread_) {
    // A Win32 thread of the C runtime's, not std::thread: that would link in a whole POSIX
    // threads layer, a third of what the program's one file may weigh.
    auto handed = std::make_unique<std::shared_ptr<Shared>>(shared_);
    const std::uintptr_t started =
        ::_beginthreadex(nullptr, 0, ThreadMain, handed.get(), 0, nullptr);
    if (started == 0) return false;
    handed.release();  // the thread owns it now
    thread_.reset(reinterpret_cast<HANDLE>(started));
    // Only as long as the thread takes to make its window.
    std::unique_lock lock(shared_->mutex);
    shared_->started.wait(lock, [this] { return shared_->start_done; });
  }
  HWND window = nullptr;
  {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->window == nullptr) return false;
    shared_->job = std::move(job);
    // The running job takes up the waiting one when it ends.
    if (shared_->running) return true;
    window = shared_->window;
    shared_->running = true;
  }
  if (::PostMessageW(window, kRunJob, 0, 0)) return true;
  const std::lock_guard lock(shared_->mutex);
  shared_->job = nullptr;
  shared_->running = false;
  return false;
}

void ClipboardThread::Run(std::shared_ptr<Shared> shared) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  static const ATOM window_class = [instance] {
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.lpfnWndProc = WindowProc;
    description.hInstance = instance;
    description.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&description);
  }();
  HWND window = window_class == 0 ? nullptr
                                  : ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0,
                                                      HWND_MESSAGE, nullptr, instance, nullptr);
  if (window != nullptr) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(shared.get()));
  }
  {
    const std::lock_guard lock(shared->mutex);
    shared->window = window;
    shared->start_done = true;
  }
  shared->started.notify_all();
  if (window == nullptr) return;
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
}

LRESULT CALLBACK ClipboardThread::WindowProc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) noexcept {
  auto* shared = reinterpret_cast<Shared*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case kRunJob: {
      if (shared == nullptr) return 0;
      for (;;) {
        Job job;
        {
          const std::lock_guard lock(shared->mutex);
          if (!shared->job) {
            shared->running = false;
            break;
          }
          job = std::exchange(shared->job, nullptr);
        }
        try {
          job(window);
        } catch (...) {
          // A job keeps its own failures in its result; nothing may leave the thread.
        }
        ::PostMessageW(shared->notify, shared->done_message, 0, 0);
      }
      return 0;
    }
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace tllink::platform::win32
