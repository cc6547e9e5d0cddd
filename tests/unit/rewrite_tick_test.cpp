#include <set>

#include "program_fixture.h"

namespace tllink::testing {
namespace {

constexpr char16_t kFind[] = u"http://h/u/1/";
constexpr char16_t kReplacement[] = u"http://d/1/";

// Running with a stored rule; the clipboard starts empty.
class RewriteTick : public ProgramFixture {
 protected:
  void SetUp() override {
    StoreRule(kFind, kReplacement);
    Start();
  }
  void SetRule(std::u16string find_text, std::u16string replacement) {
    form2().temp1 = std::move(find_text);
    form2().temp2 = std::move(replacement);
  }
  // Copies `text`, ticks once, and returns what the clipboard holds then.
  std::u16string CopyAndTick(std::u16string text) {
    Clip().CopyText(std::move(text));
    Tick();
    return Clip().Text().value_or(u"<no text>");
  }
};

// Balloons

TEST_F(RewriteTick, StartBalloonOnTheFirstTickOnly) {
  Tick();
  ASSERT_EQ(Balloons().size(), 1u);
  EXPECT_EQ(Calls().back().data, BalloonRecord(kStartBalloon));
  EXPECT_EQ(form1().ST, 1);
  Ticks(10);
  EXPECT_EQ(Balloons().size(), 1u);
}

TEST_F(RewriteTick, StartBalloonAgainAfterTheStopButton) {
  Tick();
  Click1(Form1::kCommand4);
  EXPECT_FALSE(Tick());
  Click1(Form1::kCommand3);
  Ticks(3);
  EXPECT_EQ(Balloons(), (std::vector<std::u16string>{kStartBalloon, kStartBalloon}));
}

TEST_F(RewriteTick, StartBalloonAgainAfterASave) {
  Tick();
  ChooseFromTrayMenu(Form1::kSetting);
  Click2(Form2::kCommand2);  // remove, so that the fields can be saved again
  Click2(Form2::kCommand1);
  Ticks(3);
  EXPECT_EQ(Balloons(), (std::vector<std::u16string>{kStartBalloon, kStartBalloon}));
}

// Matching and rewriting

TEST_F(RewriteTick, EveryOccurrenceIsReplacedUnderOneBalloonShownAfterTheWrite) {
  Tick();
  long balloons_at_write = -1;
  Clip().BeforeNextWrite([&] { balloons_at_write = BalloonCount(kConvertBalloon); });
  EXPECT_EQ(CopyAndTick(u"see http://h/u/1/a and http://h/u/1/b"),
            u"see http://d/1/a and http://d/1/b");
  EXPECT_EQ(balloons_at_write, 0) << "announced once the rewritten text is there";
  EXPECT_EQ(Calls().back().data, BalloonRecord(kConvertBalloon));
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
  EXPECT_EQ(Clip().Writes(), 1);
}

TEST_F(RewriteTick, CaseMustMatchExactly) {
  EXPECT_EQ(CopyAndTick(u"HTTP://H/U/1/x"), u"HTTP://H/U/1/x");
  EXPECT_EQ(CopyAndTick(u"http://h/U/1/x"), u"http://h/U/1/x");
  EXPECT_EQ(Clip().Writes(), 0);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);
}

TEST_F(RewriteTick, AdjacentAndOverlappingCandidates) {
  SetRule(u"aa", u"b");
  EXPECT_EQ(CopyAndTick(u"x aaaa y"), u"x bb y");
  EXPECT_EQ(CopyAndTick(u"aaa"), u"ba");
  EXPECT_EQ(CopyAndTick(u"aaaaa"), u"bba");
  EXPECT_EQ(BalloonCount(kConvertBalloon), 3);
}

TEST_F(RewriteTick, EmptyFindTextWritesNothing) {
  SetRule(u"", u"x");
  EXPECT_EQ(CopyAndTick(u"abc"), u"abc");
  EXPECT_EQ(Clip().Writes(), 0);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);
}

TEST_F(RewriteTick, EmptyClipboardTextWritesNothing) {
  EXPECT_EQ(CopyAndTick(u""), u"");
  EXPECT_EQ(Clip().Writes(), 0);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);
}

TEST_F(RewriteTick, RuleIsReadAfreshOnEveryTick) {
  EXPECT_EQ(CopyAndTick(u"a http://x/ b"), u"a http://x/ b");
  SetRule(u"http://x/", u"http://y/");
  Tick();
  EXPECT_EQ(Clip().Text(), u"a http://y/ b") << "a new find text applies to the text already there";

  SetRule(u"http://q/", u"http://q/");
  EXPECT_EQ(CopyAndTick(u"c http://q/ d"), u"c http://q/ d");
  form2().temp2 = u"http://r/";
  Tick();
  EXPECT_EQ(Clip().Text(), u"c http://r/ d") << "so does a new replacement alone";
}

// What the user copied is never lost or corrupted

TEST_F(RewriteTick, UnicodeTextIsKeptExactly) {
  SetRule(kFind, u"http://d/下載/😀/");
  const std::u16string lone_high(1, char16_t{0xD800});
  const std::u16string lone_low(1, char16_t{0xDC00});
  EXPECT_EQ(CopyAndTick(u"檔案 😀" + lone_high + u"http://h/u/1/名稱.zip" + lone_low + u" é"),
            u"檔案 😀" + lone_high + u"http://d/下載/😀/名稱.zip" + lone_low + u" é");
}

TEST_F(RewriteTick, NonTextContentIsNeverWrittenOver) {
  Clip().CopyOther("image/png");
  Tick();
  EXPECT_EQ(Clip().Opens(), 0) << "the format query tells that there is nothing to read";
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/f"), u"http://d/1/f");
  // Right after a conversion, the last text read still holds the find text.
  Clip().CopyOther("image/png");
  Ticks(5);
  EXPECT_FALSE(Clip().Text().has_value());
  EXPECT_EQ(Clip().OtherFormats(), std::set<std::string>{"image/png"});
  EXPECT_EQ(Clip().Writes(), 1);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
}

TEST_F(RewriteTick, FailedReadIsNotRepeatedUntilTheNextCopyButABusyOneIs) {
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/first"), u"http://d/1/first");

  // The read fails where the platform does it (out of memory on its thread, say).
  Clip().FailReads(true);
  Clip().CopyTextLate(u"http://h/u/1/second");
  Tick();
  const int opens = Clip().Opens();
  Clip().Deliver();
  Ticks(5);
  EXPECT_EQ(Clip().Opens(), opens) << "reading that copy again would fail again";
  EXPECT_EQ(Clip().Text(), u"http://h/u/1/second")
      << "neither the last rewrite nor anything else is written";
  Clip().FailReads(false);
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/second"), u"http://d/1/second") << "the next copy is read";

  Clip().HoldOpenByOtherProgram(1);
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/third"), u"http://h/u/1/third");
  Tick();
  EXPECT_EQ(Clip().Text(), u"http://d/1/third");
  EXPECT_EQ(Clip().Writes(), 3);
}

TEST_F(RewriteTick, ClipboardHeldAtTheWriteIsTriedAgainAndAnnouncedOnce) {
  Clip().BeforeNextWrite([this] { Clip().HoldOpenByOtherProgram(3); });
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/f"), u"http://h/u/1/f");
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0) << "nothing has been converted yet";
  Ticks(3);
  EXPECT_EQ(Clip().Text(), u"http://d/1/f");
  Ticks(3);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1) << "one conversion, one announcement";
}

TEST_F(RewriteTick, NewerCopyIsNeverOverwrittenAndIsRewrittenNext) {
  Clip().BeforeNextWrite([this] { Clip().CopyText(u"newer http://h/u/1/z"); });
  EXPECT_EQ(CopyAndTick(u"older http://h/u/1/a"), u"newer http://h/u/1/z");
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0) << "the older copy was not converted";
  Tick();
  EXPECT_EQ(Clip().Text(), u"newer http://d/1/z");
  EXPECT_EQ(Clip().Writes(), 1);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
}

// Where the watch tells of every change, as on Linux, Timer2 sleeps while the tick waits for one.
class RewriteTickToldOfEveryChange : public RewriteTick {
 protected:
  void SetUp() override {
    toolkit.clipboard_tells_every_change = true;
    RewriteTick::SetUp();
  }
  // What a change notice runs, once the burst has settled.
  void Settle() { SettleTimer().Fire(); }
};

TEST_F(RewriteTickToldOfEveryChange, Timer2TicksOnlyWhileTheTickWaitsForMoreThanAChange) {
  EXPECT_TRUE(Tick());
  EXPECT_EQ(Balloons(), std::vector<std::u16string>{kStartBalloon});
  EXPECT_FALSE(Tick()) << "nothing to do until a change";
  Clip().CopyText(u"http://h/u/1/a");
  Settle();
  EXPECT_EQ(Clip().Text(), u"http://d/1/a");
  EXPECT_FALSE(Tick());

  Clip().FailSets(true);
  Clip().CopyText(u"http://h/u/1/b");
  Settle();
  Clip().FailSets(false);
  EXPECT_TRUE(Tick()) << "a failed write is tried again";
  EXPECT_EQ(Clip().Text(), u"http://d/1/b");
  EXPECT_FALSE(Tick());

  const std::u16string filler(std::size_t{1} << 20, u'x');
  Clip().CopyText(filler + u"http://h/u/1/big");
  Settle();
  EXPECT_TRUE(Tick()) << "a large text is written on the next tick";
  EXPECT_EQ(Clip().Text(), filler + u"http://d/1/big");
  EXPECT_FALSE(Tick());

  Click1(Form1::kCommand4);
  Click1(Form1::kCommand3);
  EXPECT_TRUE(Tick());
  EXPECT_EQ(BalloonCount(kStartBalloon), 2);
}

TEST_F(RewriteTick, LargeTextIsWrittenOnTheTickAfterItsRead) {
  const std::u16string filler(std::size_t{1} << 20, u'x');
  Clip().CopyText(filler + u"http://h/u/1/big");
  Tick();
  EXPECT_EQ(Clip().Writes(), 0) << "the window answers its messages between read and write";
  Tick();
  EXPECT_EQ(Clip().Text(), filler + u"http://d/1/big");
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);

  Clip().CopyText(filler + u"http://h/u/1/older");
  Tick();
  Clip().CopyText(u"newer");
  Ticks(3);
  EXPECT_EQ(Clip().Text(), u"newer") << "a copy between read and write is never overwritten";
  EXPECT_EQ(Clip().Writes(), 1);
}

TEST_F(RewriteTick, ReplacementEqualToTheFindTextWritesNothing) {
  SetRule(kFind, kFind);
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/f"), u"http://h/u/1/f");
  Ticks(5);
  EXPECT_EQ(Clip().Writes(), 0);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);
}

TEST_F(RewriteTick, ReplacementContainingTheFindTextIsAppliedOnce) {
  SetRule(kFind, u"http://h/u/1/x/");
  EXPECT_EQ(CopyAndTick(u"go http://h/u/1/"), u"go http://h/u/1/x/");
  Ticks(20);
  EXPECT_EQ(Clip().Text(), u"go http://h/u/1/x/");
  EXPECT_EQ(Clip().Writes(), 1);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
  // A clipboard manager or a remote-desktop bridge that copies our text back is no new link.
  Clip().CopyText(u"go http://h/u/1/x/");
  Ticks(3);
  EXPECT_EQ(Clip().Text(), u"go http://h/u/1/x/");
  EXPECT_EQ(Clip().Writes(), 1);
  // An edited rule looks at the clipboard again, and still leaves our own text alone.
  SetRule(kFind, u"http://h/u/1/y/");
  Tick();
  EXPECT_EQ(Clip().Text(), u"go http://h/u/1/x/");
  // Another text is converted as usual.
  EXPECT_EQ(CopyAndTick(u"go http://h/u/1/"), u"go http://h/u/1/y/");
}

TEST_F(RewriteTick, IdleTicksLeaveTheClipboardClosed) {
  CopyAndTick(u"no link here");
  const int opens = Clip().Opens();
  Ticks(20);
  EXPECT_EQ(Clip().Opens(), opens);

  CopyAndTick(u"http://h/u/1/f");
  EXPECT_EQ(Clip().Text(), u"http://d/1/f");
  const int opens_after_write = Clip().Opens();
  EXPECT_GT(opens_after_write, opens) << "a change is looked at";
  Ticks(20);
  EXPECT_EQ(Clip().Opens(), opens_after_write);
}

TEST_F(RewriteTick, ContentMarkedNotToBeMonitoredIsLeftAlone) {
  Clip().CopyExcludedText(u"secret http://h/u/1/f");
  Tick();
  const int opens = Clip().Opens();
  Ticks(5);
  EXPECT_EQ(Clip().Opens(), opens) << "once seen, it is not opened again";
  EXPECT_EQ(Clip().Text(), u"secret http://h/u/1/f");
  EXPECT_EQ(Clip().Writes(), 0);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);
  SetRule(u"secret", u"public");  // a new rule looks again, and still leaves it alone
  Tick();
  EXPECT_EQ(Clip().Text(), u"secret http://h/u/1/f");
}

TEST_F(RewriteTick, FailedSetKeepsTheUsersTextWhichALaterTickConverts) {
  Clip().FailSets(true);
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/f"), u"http://h/u/1/f");
  EXPECT_TRUE(Clip().OwnedByUs()) << "emptying made this program the owner, as on Windows";
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0) << "nothing was converted";
  Clip().FailSets(false);
  Tick();
  EXPECT_EQ(Clip().Text(), u"http://d/1/f") << "the text put back is the user's, not ours";
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
  Ticks(5);
  EXPECT_EQ(Clip().Writes(), 1) << "and the rewrite that took is ours";
}

TEST_F(RewriteTick, SetThatKeepsFailingIsGivenUpUntilTheNextCopy) {
  Clip().FailSets(true);
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/f"), u"http://h/u/1/f");
  Ticks(20);
  const int opens = Clip().Opens();
  EXPECT_LE(opens, 6) << "a few tries, not one every tick";
  Ticks(20);
  EXPECT_EQ(Clip().Opens(), opens);
  EXPECT_EQ(Clip().Text(), u"http://h/u/1/f");
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);

  Clip().FailSets(false);
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/g"), u"http://d/1/g");
}

TEST_F(RewriteTick, WriteRefusedWhileTheOtherProgramStaysTheOwnerIsTriedThreeTimes) {
  // As an X server refuses a new owner: nothing changes hands, yet a change is reported.
  Clip().RefuseWrites(true);
  const auto tick_and_settle = [this] {
    for (int i = 0; i < 20; ++i) {
      Tick();
      if (SettleTimer().Enabled()) SettleTimer().Fire();
    }
  };
  Clip().CopyText(u"http://h/u/1/f");
  tick_and_settle();
  EXPECT_EQ(Clip().RefusedWrites(), 3);
  // The same text announced again, as a clipboard manager does, is still that copy.
  Clip().CopyText(u"http://h/u/1/f");
  tick_and_settle();
  EXPECT_EQ(Clip().RefusedWrites(), 3);
  EXPECT_EQ(Clip().Text(), u"http://h/u/1/f");
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);
}

TEST_F(RewriteTick, NoTickRunsWhileItsFailureIsReported) {
  Tick();
  Clip().ThrowOnNextRead();
  int opens_while_shown = -1;
  toolkit.while_message_shown = [this, &opens_while_shown] {
    const int before = Clip().Opens();
    Ticks(3);  // the message box's loop goes on dispatching the timer
    opens_while_shown = Clip().Opens() - before;
  };
  Clip().CopyText(u"http://h/u/1/huge");
  Tick();
  ASSERT_EQ(toolkit.messages.size(), 1u);
  EXPECT_EQ(toolkit.messages[0].text, u"操作失敗：記憶體不足");
  EXPECT_EQ(opens_while_shown, 0);
  toolkit.while_message_shown = nullptr;
  Tick();
  EXPECT_EQ(Clip().Text(), u"http://d/1/huge") << "once the box is closed, ticks go on";
}

// Clipboard-change notifications

TEST_F(RewriteTick, ChangeRunsTheTickOnceItSettlesAndOurOwnWriteOnlyCostsALook) {
  Tick();
  Clip().CopyText(u"http://h/u/1/e");
  Clip().CopyText(u"http://h/u/1/f");
  ASSERT_TRUE(SettleTimer().Enabled()) << "a change waits a moment for the rest of its burst";
  EXPECT_EQ(Clip().Opens(), 0);
  SettleTimer().Fire();
  EXPECT_EQ(Clip().Opens(), 2) << "one read and one write for the whole burst";
  EXPECT_EQ(Clip().Text(), u"http://d/1/f");
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);

  // The program's own write is a change as well.
  const int opens = Clip().Opens();
  ASSERT_TRUE(SettleTimer().Enabled());
  SettleTimer().Fire();
  Ticks(3);
  EXPECT_EQ(Clip().Opens(), opens);
  EXPECT_EQ(Clip().Writes(), 1);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
}

TEST_F(RewriteTick, ChangeWhileStoppedDoesNothing) {
  Tick();
  Click1(Form1::kCommand4);
  Clip().CopyText(u"http://h/u/1/f");
  EXPECT_FALSE(SettleTimer().Enabled());

  // A change that was still settling when the program stopped runs no tick either.
  Click1(Form1::kCommand3);
  Clip().CopyText(u"http://h/u/1/g");
  Click1(Form1::kCommand4);
  SettleTimer().Fire();
  EXPECT_EQ(Clip().Opens(), 0);
  EXPECT_EQ(Clip().Writes(), 0);
}

// An owner that is slow to hand over its text

TEST_F(RewriteTick, LateOwnersTextIsConvertedOnceItArrivesAndAnnouncedAfterTheWrite) {
  Tick();
  Clip().CopyTextLate(u"slow http://h/u/1/a");
  SettleTimer().Fire();
  Ticks(5);  // nothing waits meanwhile, and nothing is asked twice
  EXPECT_EQ(Clip().Opens(), 1);
  Clip().Deliver();  // the text arrives and runs the tick
  EXPECT_EQ(Clip().Text(), u"slow http://h/u/1/a") << "emptying waits for the owner as well";
  Ticks(3);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 0);
  Clip().Deliver();
  EXPECT_EQ(Clip().Text(), u"slow http://d/1/a");
  Ticks(3);
  EXPECT_EQ(Clip().Writes(), 1);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
}

TEST_F(RewriteTick, NewerCopyIsConvertedAtOnceAndTheLateTextNeverWrittenOverIt) {
  Tick();
  Clip().CopyTextLate(u"slow http://h/u/1/a");
  Tick();
  EXPECT_EQ(CopyAndTick(u"newer http://h/u/1/b"), u"newer http://d/1/b")
      << "the read of the slow owner's text is no reason to wait";
  Clip().Deliver();  // too late: that read was dropped
  Ticks(3);
  EXPECT_EQ(Clip().Text(), u"newer http://d/1/b");

  // A late text handed over after someone copied is about content that has gone.
  Clip().CopyTextLate(u"slow http://h/u/1/c");
  Tick();
  Clip().CopyText(u"newest http://h/u/1/d");
  const int opens = Clip().Opens();
  Clip().Deliver();
  EXPECT_EQ(Clip().Opens(), opens) << "no write of the old text is even tried";
  EXPECT_EQ(Clip().Text(), u"newest http://h/u/1/d");
  Tick();
  EXPECT_EQ(Clip().Text(), u"newest http://d/1/d");
  Ticks(3);
  EXPECT_EQ(Clip().Writes(), 2);
  EXPECT_EQ(BalloonCount(kConvertBalloon), 2);
}

TEST_F(RewriteTick, TextThatNeverArrivesCostsNothingAndTheNextCopyIsConverted) {
  Tick();
  Clip().CopyTextLate(u"hung http://h/u/1/a");
  Ticks(50);
  EXPECT_EQ(Clip().Opens(), 1);
  EXPECT_EQ(CopyAndTick(u"next http://h/u/1/b"), u"next http://d/1/b");
}

// Rich copies, and taking a conversion back

TEST_F(RewriteTick, RichFormatsAreConvertedWithTheTextAndABalloonClickPutsTheCopyBack) {
  Tick();
  Clip().CopyRich(u"no link", {{"text/html", "<b>no link</b>"}});
  Tick();
  EXPECT_EQ(Clip().RichReads(), 0) << "only a copy that is converted needs its rich formats";

  const std::vector<platform::RichFormat> rich{{"text/html", "<a href=\"http://h/u/1/f\">f</a>"},
                                               {"text/uri-list", "http://h/u/1/f"}};
  Clip().CopyRich(u"http://h/u/1/f", rich);
  Tick();
  EXPECT_EQ(Clip().Text(), u"http://d/1/f");
  EXPECT_EQ(Clip().Rich(),
            (std::vector<platform::RichFormat>{{"text/html", "<a href=\"http://d/1/f\">f</a>"},
                                               {"text/uri-list", "http://d/1/f"}}));
  TrayNotification(0x405);  // the shell: the balloon was clicked
  EXPECT_EQ(Clip().Text(), u"http://h/u/1/f");
  EXPECT_EQ(Clip().Rich(), rich);
  SettleTimer().Fire();
  Ticks(5);
  EXPECT_EQ(Clip().Text(), u"http://h/u/1/f") << "what was taken back is not converted again";
  EXPECT_EQ(BalloonCount(kConvertBalloon), 1);
  EXPECT_EQ(CopyAndTick(u"other"), u"other");
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/f"), u"http://d/1/f") << "the same link copied anew is";
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/g"), u"http://d/1/g") << "and so is the next copy";
}

TEST_F(RewriteTick, RuleSavedWhileARichReadIsPendingIsTheOneItsFormatsAreAskedWith) {
  Tick();
  const std::vector<platform::RichFormat> rich{{"text/html", "<a href=\"http://n/u/1/f\">f</a>"}};
  Clip().CopyTextLate(u"http://n/u/1/f", rich);
  Tick();  // asked with the old find text, which the copy does not hold: no rich formats
  SetRule(u"http://n/u/1/", u"http://d/1/");
  Tick();
  Clip().Deliver();  // both answers; the one asked with the old rule is dropped
  Clip().Deliver();  // emptying waits for the slow owner too
  EXPECT_EQ(Clip().Text(), u"http://d/1/f");
  EXPECT_EQ(Clip().Rich(),
            (std::vector<platform::RichFormat>{{"text/html", "<a href=\"http://d/1/f\">f</a>"}}));
  EXPECT_EQ(Clip().Writes(), 1);
}

TEST_F(RewriteTick, BalloonClickAfterANewerCopyOrAnotherBalloonDoesNothing) {
  EXPECT_EQ(CopyAndTick(u"http://h/u/1/f"), u"http://d/1/f");
  Clip().CopyText(u"newer");
  TrayNotification(0x405);
  EXPECT_EQ(Clip().Text(), u"newer");

  EXPECT_EQ(CopyAndTick(u"http://h/u/1/g"), u"http://d/1/g");
  ChooseFromTrayMenu(Form1::kAbout);
  TrayNotification(0x405);  // on the About balloon
  EXPECT_EQ(Clip().Text(), u"http://d/1/g");
  EXPECT_EQ(Clip().Writes(), 2);
}

}  // namespace
}  // namespace tllink::testing
