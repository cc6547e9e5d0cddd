#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/desktop/unique_fd.h"

namespace tllink::platform::x11 {

// Owners of what xcb and the system hand out, so that every return path lets go of them.

struct FreeWithFree {
  void operator()(void* pointer) const { std::free(pointer); }
};
// An xcb reply or event, which xcb allocates with malloc.
template <typename T>
using XcbPointer = std::unique_ptr<T, FreeWithFree>;

struct DisconnectXcb {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, DisconnectXcb>;

// A window made on a connection that outlives it.
class XcbWindow {
 public:
  XcbWindow() = default;
  XcbWindow(xcb_connection_t* connection, xcb_window_t id) : connection_(connection), id_(id) {}
  ~XcbWindow() { Reset(); }
  XcbWindow(XcbWindow&& other) noexcept
      : connection_(other.connection_), id_(std::exchange(other.id_, XCB_WINDOW_NONE)) {}
  XcbWindow& operator=(XcbWindow&& other) noexcept {
    if (this != &other) {
      Reset();
      connection_ = other.connection_;
      id_ = std::exchange(other.id_, XCB_WINDOW_NONE);
    }
    return *this;
  }
  XcbWindow(const XcbWindow&) = delete;
  XcbWindow& operator=(const XcbWindow&) = delete;

  xcb_window_t Id() const { return id_; }
  void Reset() {
    if (id_ == XCB_WINDOW_NONE) return;
    xcb_destroy_window(connection_, std::exchange(id_, XCB_WINDOW_NONE));
    xcb_flush(connection_);
  }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t id_ = XCB_WINDOW_NONE;
};

}  // namespace tllink::platform::x11
