// Captions at the user's display scale: every label and button of the first run's windows shows
// its whole text. Seen on the screen as a user sees it: each control is shown alone, as wide as
// it is and as tall as its window, so that nothing of its text is hidden or cut, and the ink of
// its text must lie within the part of its box that no other shown control covers.

#include <algorithm>
#include <memory>

#include "tests/e2e/fixture.h"

namespace tllink::e2e {
namespace {

// The edge and focus frame Windows draws inside a push button, in pixels at 96 dpi.
constexpr int kButtonEdgeAt96 = 3;

RECT RectInParent(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool IsLabel(HWND control) {
  return _wcsicmp(ClassName(control).c_str(), L"Static") == 0;
}

bool IsButton(HWND control) {
  return _wcsicmp(ClassName(control).c_str(), L"Button") == 0;
}

std::vector<HWND> Siblings(HWND control) {
  std::vector<HWND> siblings;
  for (HWND other : Descendants(GetParent(control))) {
    if (other != control && GetParent(other) == GetParent(control)) siblings.push_back(other);
  }
  return siblings;
}

// The part of `label` its text can show in: up to the first shown control (not a label) that
// begins within it on its rows.
RECT UncoveredPart(HWND label) {
  RECT area = RectInParent(label);
  const LONG left = area.left;
  for (HWND other : Siblings(label)) {
    if (!IsWindowVisible(other) || IsLabel(other)) continue;
    const RECT r = RectInParent(other);
    if (r.top < area.bottom && r.bottom > area.top && r.left > left && r.left < area.right) {
      area.right = r.left;
    }
  }
  return area;
}

// The dark pixels within `area` of the screen (screen coordinates), as a bounding box in those
// coordinates; empty when there are none.
RECT InkWithin(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  RECT ink{area.right, area.bottom, area.left, area.top};
  if (width <= 0 || height <= 0) return RECT{};
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[y * width + x];
      const int luminance = (((p >> 16) & 0xFF) * 3 + ((p >> 8) & 0xFF) * 6 + (p & 0xFF)) / 10;
      if (luminance >= 128) continue;
      ink.left = std::min(ink.left, static_cast<LONG>(area.left + x));
      ink.top = std::min(ink.top, static_cast<LONG>(area.top + y));
      ink.right = std::max(ink.right, static_cast<LONG>(area.left + x + 1));
      ink.bottom = std::max(ink.bottom, static_cast<LONG>(area.top + y + 1));
    }
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ink.right > ink.left ? ink : RECT{};
}

// Shows `control` alone, from the top of its window's client area to the bottom and as wide as
// it is, and gives the ink of its caption in coordinates of its window's client area.
RECT InkShownAlone(HWND control, const RECT& inner_margin) {
  const std::vector<HWND> siblings = Siblings(control);
  std::vector<HWND> hidden;
  for (HWND other : siblings) {
    if (IsWindowVisible(other)) {
      ShowWindow(other, SW_HIDE);
      hidden.push_back(other);
    }
  }
  const RECT place = RectInParent(control);
  RECT client{};
  GetClientRect(GetParent(control), &client);
  SetWindowPos(control, nullptr, place.left, 0, place.right - place.left, client.bottom,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(GetParent(control), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT shown{};
  GetWindowRect(control, &shown);
  const RECT scanned{shown.left + inner_margin.left, shown.top + inner_margin.top,
                     shown.right - inner_margin.right, shown.bottom - inner_margin.bottom};
  // Painted once the same ink shows twice in a row.
  RECT ink{};
  RECT before{};
  WaitUntil(
      [&] {
        before = ink;
        ink = InkWithin(scanned);
        return ink.right > ink.left && EqualRect(&ink, &before);
      },
      3s, 150ms);
  if (ink.right > ink.left)
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&ink), 2);
  SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (HWND other : hidden) ShowWindow(other, SW_SHOWNA);
  return ink;
}

testing::AssertionResult ShowsWholeCaption(HWND control, int dpi) {
  const std::wstring text = WindowText(control);
  const RECT place = RectInParent(control);
  RECT box{};
  RECT ink{};
  if (IsLabel(control)) {
    box = UncoveredPart(control);
    ink = InkShownAlone(control, RECT{});
  } else {
    const int edge = MulDiv(kButtonEdgeAt96, dpi, 96);
    box = place;
    InflateRect(&box, -edge, -edge);
    // Within the focus frame, which is ink too.
    ink = InkShownAlone(control, RECT{edge + 1, edge + 1, edge + 1, edge + 1});
  }
  const auto describe = [&] {
    return testing::AssertionFailure()
           << "\"" << Utf8(text) << "\" at " << dpi << " dpi: ink " << ink.right - ink.left << "x"
           << ink.bottom - ink.top << " px, box " << box.right - box.left << "x"
           << box.bottom - box.top << " px";
  };
  if (ink.right <= ink.left) return describe() << ", no text seen";
  if (IsLabel(control)) {
    // Drawn from the top of the window now: its lines must fit the label's height, and its
    // width the uncovered part.
    if (ink.right > box.right || ink.bottom > box.bottom - box.top) return describe();
  } else if (ink.right - ink.left > box.right - box.left ||
             ink.bottom - ink.top > box.bottom - box.top) {
    return describe();
  }
  return testing::AssertionSuccess();
}

void ExpectWholeCaptions(HWND window, int dpi) {
  std::vector<HWND> captions;
  for (HWND control : Descendants(window)) {
    if (IsWindowVisible(control) && !WindowText(control).empty() &&
        (IsLabel(control) || IsButton(control)))
      captions.push_back(control);
  }
  EXPECT_GE(captions.size(), 3u) << "too few captions in \"" << Utf8(WindowText(window)) << "\"";
  for (HWND control : captions) EXPECT_TRUE(ShowsWholeCaption(control, dpi));
}

// The message font a Traditional Chinese Windows draws its dialogs with: Microsoft JhengHei UI
// (Windows 8 on), PMingLiU before. Wine has neither; here they stand for WenQuanYi Micro Hei,
// whose Latin letters are wider than those of Wine's own message font (Tahoma, with the Chinese
// ones linked in).
void UseMessageFont(std::wstring_view face) {
  constexpr wchar_t kSubstitutes[] =
      L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
  const std::wstring stand_in = L"WenQuanYi Micro Hei";
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSubstitutes, std::wstring(face).c_str(), REG_SZ,
                            stand_in.c_str(),
                            static_cast<DWORD>((stand_in.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  LOGFONTW font{};
  font.lfHeight = -12;  // 9 points at 96 dpi, scaled with the display
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  std::copy(face.begin(), face.end(), font.lfFaceName);
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop\\WindowMetrics",
                            L"MessageFont", REG_BINARY, &font, sizeof(font)),
            ERROR_SUCCESS);
}

class Captions : public E2eTest {
 protected:
  // The first run's windows at `dpi`, with Wine's message font and then with each of a
  // Traditional Chinese Windows, each in a program of its own.
  void ExpectFitAt(int dpi) {
    ASSERT_TRUE(ScreenIsAt(dpi));
    for (const std::wstring_view face : {L"", L"Microsoft JhengHei UI", L"PMingLiU"}) {
      SCOPED_TRACE(face.empty() ? "Wine's message font" : Utf8(face));
      if (!face.empty()) UseMessageFont(face);
      ExpectFitInNewProgram(dpi);
    }
  }

  void ExpectFitInNewProgram(int dpi) {
    Program program;
    ASSERT_TRUE(program.Launch());
    ASSERT_TRUE(MainWindowShown(program, 10s));
    const HWND main = program.MainWindow();
    RECT client{};
    GetClientRect(main, &client);
    // The layout's 1920 twips at this scale: the scale took effect.
    ASSERT_EQ(client.right, MulDiv(1920, dpi, 1440));
    ExpectWholeCaptions(main, dpi);

    Click(FindChild(main, L"環境設定"));
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
          dialog = program.Dialog();
          return Shown(dialog);
        },
        5s));
    ExpectWholeCaptions(dialog, dpi);
  }
};

TEST_F(Captions, FitTheirBoxesAt96Dpi) {
  ExpectFitAt(96);
}

TEST_F(Captions, FitTheirBoxesAt144Dpi) {
  ExpectFitAt(144);
}

}  // namespace
}  // namespace tllink::e2e
