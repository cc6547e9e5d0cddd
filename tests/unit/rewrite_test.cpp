#include "app/rewrite.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace tllink {
namespace {

// Obviously correct: compare at every position, step over a replaced occurrence.
std::u16string ReferenceReplaceAll(std::u16string_view text, std::u16string_view find,
                                   std::u16string_view replacement) {
  if (find.empty()) return std::u16string(text);
  std::u16string result;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, find.size()) == find) {
      result += replacement;
      i += find.size();
    } else {
      result += text[i];
      ++i;
    }
  }
  return result;
}

std::u16string Repeat(std::u16string_view piece, std::size_t times) {
  std::u16string result;
  for (std::size_t i = 0; i < times; ++i) result += piece;
  return result;
}

TEST(ReplaceAllMatching, ReplacesEveryOccurrenceLeftToRight) {
  EXPECT_EQ(ReplaceAll(u"see http://a/x and http://a/y", u"http://a/", u"https://b/"),
            u"see https://b/x and https://b/y");
  EXPECT_EQ(ReplaceAll(u"abab", u"ab", u"X"), u"XX") << "adjacent occurrences";
  EXPECT_EQ(ReplaceAll(u"http://a/", u"http://a/", u"B"), u"B") << "the whole text";
  EXPECT_EQ(ReplaceAll(u"http://a/ tail", u"http://a/", u"B"), u"B tail") << "at the start";
  EXPECT_EQ(ReplaceAll(u"head http://a/", u"http://a/", u"B"), u"head B") << "at the end";
}

TEST(ReplaceAllMatching, OverlappingCandidatesDoNotOverlap) {
  EXPECT_EQ(ReplaceAll(u"aaa", u"aa", u"X"), u"Xa");
  EXPECT_EQ(ReplaceAll(u"aaaa", u"aa", u"X"), u"XX");
  EXPECT_EQ(ReplaceAll(u"ababa", u"aba", u"X"), u"Xba");
}

TEST(ReplaceAllMatching, ComparesExactly) {
  EXPECT_EQ(ReplaceAll(u"HTTP://a/ Http://a/", u"http://a/", u"B"), u"HTTP://a/ Http://a/");
  EXPECT_EQ(ReplaceAll(u"http://a", u"http://a/", u"B"), u"http://a") << "a prefix is not a match";
  EXPECT_EQ(ReplaceAll(u"ab", u"abc", u"X"), u"ab") << "find text longer than the text";
}

// Text in which the first and last units of the find text are everywhere, so nearly every
// position is a candidate that fails in the middle; the real occurrences sit among them at
// positions that are not multiples of eight.
TEST(ReplaceAllMatching, DenseFalseCandidates) {
  const std::u16string text = Repeat(u"h", 37) + u"hxh" + Repeat(u"h", 21) + u"hxh" + u"hh";
  EXPECT_EQ(ReplaceAll(text, u"hxh", u"_"), Repeat(u"h", 37) + u"_" + Repeat(u"h", 21) + u"_hh");

  const std::u16string near_misses = Repeat(u"http:/ hxxp://", 50);
  EXPECT_EQ(ReplaceAll(near_misses + u"http://" + near_misses, u"http://", u"<>"),
            near_misses + u"<>" + near_misses);
}

// The scan tests whole blocks of positions and leaves the rest of the text to narrower loops: an
// occurrence must be found wherever it falls, with short and long find texts alike.
TEST(ReplaceAllMatching, FindsOccurrencesAtEveryOffset) {
  for (const std::u16string_view find : {u"find", u"http://files.example.com/u/12345678/"}) {
    for (std::size_t offset = 0; offset < 80; ++offset) {
      const std::u16string before(offset, u'-');
      const std::u16string after(80 - offset, u'=');
      const std::u16string occurrence(find);
      EXPECT_EQ(ReplaceAll(before + occurrence + after, find, u"R"), before + u"R" + after)
          << "offset " << offset;
      EXPECT_EQ(ReplaceAll(before + occurrence, find, u"R"), before + u"R")
          << "at the end, offset " << offset;
    }
  }
}

TEST(ReplaceAllEdges, EmptyFindTextOrTextChangesNothing) {
  EXPECT_EQ(ReplaceAll(u"some text", u"", u"X"), u"some text");
  EXPECT_EQ(ReplaceAll(u"", u"", u"X"), u"");
  EXPECT_EQ(ReplaceAll(u"", u"a", u"X"), u"");
}

TEST(ReplaceAllEdges, NoOccurrenceReturnsTheTextUnchanged) {
  const std::u16string text = Repeat(u"plain text 純文字 ", 100);
  EXPECT_EQ(ReplaceAll(text, u"http://", u"X"), text);
}

TEST(ReplaceAllReplacement, LongerShorterOrEmpty) {
  EXPECT_EQ(ReplaceAll(u"a-b-c", u"-", u"<=>"), u"a<=>b<=>c");
  EXPECT_EQ(ReplaceAll(u"a<=>b<=>c", u"<=>", u"-"), u"a-b-c");
  EXPECT_EQ(ReplaceAll(u"a<=>b<=>c", u"<=>", u""), u"abc");
  EXPECT_EQ(ReplaceAll(u"<=><=>", u"<=>", u""), u"");
  EXPECT_EQ(ReplaceAll(u"a-b", u"-", u"-"), u"a-b") << "replacement equal to the find text";
}

TEST(ReplaceAllReplacement, ReplacementContainingTheFindTextIsInsertedOnce) {
  EXPECT_EQ(ReplaceAll(u"go http://x/ now", u"http://", u"https://http://"),
            u"go https://http://x/ now");
  EXPECT_EQ(ReplaceAll(u"aa", u"a", u"aa"), u"aaaa");
}

TEST(ReplaceAllCodeUnits, SurrogatesPassThroughExactly) {
  const std::u16string lone_high = u"\xD83D";
  const std::u16string lone_low = u"\xDE00";
  const std::u16string pair = u"\xD83D\xDE00";  // one emoji
  const std::u16string text =
      lone_low + u"http://" + lone_high + u"|" + pair + u"http://" + pair + u"http://" + lone_high;
  EXPECT_EQ(ReplaceAll(text, u"http://", u"中文"),
            lone_low + u"中文" + lone_high + u"|" + pair + u"中文" + pair + u"中文" + lone_high);
}

TEST(ReplaceAllCodeUnits, SurrogatesInsideTheFindTextAndReplacement) {
  const std::u16string pair = u"\xD83D\xDE00";
  EXPECT_EQ(ReplaceAll(u"a" + pair + u"b" + pair, pair, u"\xDC00"),
            u"a\xDC00"
            u"b\xDC00");
  EXPECT_EQ(ReplaceAll(u"x\xD800y\xD800", u"\xD800y", pair), u"x" + pair + u"\xD800");
  // Comparison is by code unit, so a lone surrogate also matches one half of a pair.
  EXPECT_EQ(ReplaceAll(u"a" + pair, u"\xDE00", u"!"), u"a\xD83D!");
}

TEST(ReplaceAllRandom, AgreesWithTheReference) {
  // A small alphabet makes occurrences, near misses and overlaps frequent; lengths cross the
  // blocks of the scan.
  constexpr char16_t kAlphabet[] = {u'a', u'b', u'A', u'\xD800', u'\xDC00', u'中'};
  std::mt19937 random(20240603);
  std::uniform_int_distribution<std::size_t> pick_unit(0, std::size(kAlphabet) - 1);
  const auto random_text = [&](std::size_t max_length) {
    std::u16string text(std::uniform_int_distribution<std::size_t>(0, max_length)(random), u' ');
    for (char16_t& unit : text) unit = kAlphabet[pick_unit(random)];
    return text;
  };

  for (int round = 0; round < 3000; ++round) {
    const std::u16string text = random_text(200);
    std::u16string find = random_text(round % 4 == 0 ? 40 : 5);
    if (round % 2 == 0 && !text.empty()) {  // half of the find texts surely occur
      const std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(random);
      find = text.substr(at, find.size());
    }
    const std::u16string replacement = random_text(8);
    ASSERT_EQ(ReplaceAll(text, find, replacement), ReferenceReplaceAll(text, find, replacement))
        << "round " << round;
  }
}

}  // namespace
}  // namespace tllink
