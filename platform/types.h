#pragma once

#include <cstdint>

namespace tllink::platform {

// Opaque handles as the toolkit hands them out; 0 is "none".
using WindowHandle = std::uintptr_t;
using IconHandle = std::uintptr_t;

// A rectangle in twips (1/1440 inch), the unit every layout in the program is written in.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

}  // namespace tllink::platform
