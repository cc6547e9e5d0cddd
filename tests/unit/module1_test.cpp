#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>

#include "platform/failure.h"
#include "platform/memory/memory_notify_area.h"
#include "tray/module1.h"

namespace tllink::testing {
namespace {

using platform::NotifyIconData;
using platform::NotifyMessage;

constexpr platform::WindowHandle kWindowA = 0x10;
constexpr platform::WindowHandle kWindowB = 0x11;
constexpr platform::IconHandle kIcon = 0x20;

class Module1Test : public ::testing::Test {
 protected:
  NotifyIconData AddRecord(platform::WindowHandle window, std::uint32_t id, std::u16string tip) {
    NotifyIconData data;
    data.hWnd = window;
    data.uID = id;
    data.uFlags = 7;
    data.uCallbackMessage = 512;
    data.hIcon = kIcon;
    data.szTip = std::move(tip);
    return data;
  }
  // The texts as they reach the shell, each cut to its field.
  NotifyIconData Balloon(std::u16string_view title, std::u16string_view text) {
    module1.ShowTrayBalloon(kWindowA, 1, 1, title, text);
    return area.Calls().back().data;
  }

  platform::memory::MemoryNotifyArea area;
  Module1 module1{area};
};

TEST_F(Module1Test, IssuesIdsInOrderAndKeysTheirWindowsByDecimalId) {
  EXPECT_FALSE(module1.iconWindows.has_value());
  EXPECT_EQ(module1.AddTrayIcon(kWindowA, 512, kIcon, u"a"), 1);
  EXPECT_EQ(module1.AddTrayIcon(kWindowB, 512, kIcon, u"b"), 2);
  EXPECT_EQ(module1.AddTrayIcon(kWindowA, 512, kIcon, u"c"), 3);
  using Windows = std::map<std::u16string, platform::WindowHandle>;
  EXPECT_EQ(module1.iconWindows, (Windows{{u"1", kWindowA}, {u"2", kWindowB}, {u"3", kWindowA}}));
  EXPECT_EQ(module1.iconCounter, 3);
}

TEST_F(Module1Test, RecordOfEachOperation) {
  module1.AddTrayIcon(kWindowA, 512, kIcon, u"Tidelock 網址轉換器");
  module1.AddTrayIcon(kWindowB, 512, kIcon, u"b");
  module1.ShowTrayBalloon(kWindowB, 2, 1, u"標題", u"內容");
  module1.RemoveTrayIcon(2);
  ASSERT_EQ(area.Calls().size(), 4u);

  EXPECT_EQ(area.Calls()[0].message, NotifyMessage::Add);
  EXPECT_EQ(area.Calls()[0].data, AddRecord(kWindowA, 1, u"Tidelock 網址轉換器"));

  NotifyIconData balloon;
  balloon.hWnd = kWindowB;
  balloon.uID = 2;
  balloon.uFlags = 16;
  balloon.dwInfoFlags = 1;
  balloon.szInfoTitle = u"標題";
  balloon.szInfo = u"內容";
  EXPECT_EQ(area.Calls()[2].message, NotifyMessage::Modify);
  EXPECT_EQ(area.Calls()[2].data, balloon);

  NotifyIconData removal;
  removal.hWnd = kWindowB;  // looked up by id
  removal.uID = 2;
  removal.uFlags = 7;
  EXPECT_EQ(area.Calls()[3].message, NotifyMessage::Delete);
  EXPECT_EQ(area.Calls()[3].data, removal);
  EXPECT_TRUE(module1.iconWindows->contains(u"2")) << "entries are never removed";
  EXPECT_EQ(area.IconCount(), 1u);
}

TEST_F(Module1Test, RemovingAnIdNeverIssuedFailsAndCallsNothing) {
  EXPECT_THROW(module1.RemoveTrayIcon(1), platform::Failure);
  module1.AddTrayIcon(kWindowA, 512, kIcon, u"a");
  EXPECT_THROW(module1.RemoveTrayIcon(2), platform::Failure);
  EXPECT_THROW(module1.RemoveTrayIcon(0), platform::Failure);
  EXPECT_THROW(module1.RemoveTrayIcon(-1), platform::Failure);
  EXPECT_EQ(area.Calls().size(), 1u);
}

TEST_F(Module1Test, ShellRefusalsAreIgnored) {
  area.SetResult(false);
  EXPECT_EQ(module1.AddTrayIcon(kWindowA, 512, kIcon, u"a"), 1);
  EXPECT_NO_THROW(module1.ShowTrayBalloon(kWindowA, 1, 1, u"t", u"x"));
  area.LoseIcons();
  EXPECT_NO_THROW(module1.RemoveTrayIcon(1));
  EXPECT_EQ(area.Calls().size(), 3u);
}

TEST_F(Module1Test, LongTextsAreCutToFitWithTheirNul) {
  const std::u16string emoji = u"😀";  // one surrogate pair
  module1.AddTrayIcon(kWindowA, 512, kIcon, std::u16string(200, u'a'));
  EXPECT_EQ(area.Calls().back().data.szTip, std::u16string(127, u'a'));
  module1.AddTrayIcon(kWindowA, 512, kIcon, std::u16string(126, u'a') + emoji);
  EXPECT_EQ(area.Calls().back().data.szTip, std::u16string(126, u'a'))
      << "a pair that does not fit is dropped whole";
  module1.AddTrayIcon(kWindowA, 512, kIcon, std::u16string(125, u'a') + emoji);
  EXPECT_EQ(area.Calls().back().data.szTip, std::u16string(125, u'a') + emoji);

  NotifyIconData cut = Balloon(std::u16string(62, u't') + emoji, std::u16string(254, u'x') + emoji);
  EXPECT_EQ(cut.szInfoTitle, std::u16string(62, u't'));
  EXPECT_EQ(cut.szInfo, std::u16string(254, u'x'));
  cut = Balloon(std::u16string(63, u't'), std::u16string(255, u'x'));
  EXPECT_EQ(cut.szInfoTitle, std::u16string(63, u't'));
  EXPECT_EQ(cut.szInfo, std::u16string(255, u'x'));
  cut = Balloon(std::u16string(64, u't'), std::u16string(256, u'x'));
  EXPECT_EQ(cut.szInfoTitle, std::u16string(63, u't'));
  EXPECT_EQ(cut.szInfo, std::u16string(255, u'x'));
}

TEST_F(Module1Test, CounterOverflowFailsWithoutACall) {
  module1.iconCounter = std::numeric_limits<std::int32_t>::max() - 1;
  EXPECT_EQ(module1.AddTrayIcon(kWindowA, 512, kIcon, u"a"),
            std::numeric_limits<std::int32_t>::max());
  EXPECT_THROW(module1.AddTrayIcon(kWindowA, 512, kIcon, u"a"), platform::Failure);
  EXPECT_EQ(module1.iconCounter, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(area.Calls().size(), 1u);
}

TEST_F(Module1Test, RestoreAddsAgainOnlyTheIconsStillInPlace) {
  module1.AddTrayIcon(kWindowA, 512, kIcon, u"kept");
  module1.AddTrayIcon(kWindowB, 512, kIcon, u"removed");
  module1.RemoveTrayIcon(2);
  area.LoseIcons();
  const std::size_t before = area.Calls().size();
  module1.RestoreTrayIcons();
  ASSERT_EQ(area.Calls().size(), before + 1);
  EXPECT_EQ(area.Calls().back().message, NotifyMessage::Add);
  EXPECT_EQ(area.Calls().back().data, AddRecord(kWindowA, 1, u"kept"));
  EXPECT_EQ(area.IconCount(), 1u);
  EXPECT_EQ(module1.iconCounter, 2) << "no new id is issued";
}

}  // namespace
}  // namespace tllink::testing
