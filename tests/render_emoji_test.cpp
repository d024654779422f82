#include "emoji/render_emoji.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emoji/emoji_table.h"
#include "support/telmark.h"

namespace vantomer {
namespace {

using test::convertPage;
using test::offlineProfile;

EmojiTable& emojiTable() {
  static EmojiTable table;
  return table;
}

// 12 only for i-mode (U+E63E), 13 in every family, 14 with an empty comment,
// 15 with a comment that markup must escape.
constexpr const char* kEmojiTable =
    "<emoji>"
    "<map num=\"12\" i-mode=\"&#xE63E;\"/>"
    "<map num=\"13\" comment=\"[c13]\" i-mode=\"i13\" EZweb=\"ez13\" J-SKY=\"j13\"/>"
    "<map num=\"14\" comment=\"\" i-mode=\"i14\"/>"
    "<map num=\"15\" comment=\"[a&amp;b]\"/>"
    "</emoji>";

class RenderEmojiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    test::ScratchDir dir;
    ASSERT_TRUE(succeeded(emojiTable().load(dir.write("Emoji.setting", kEmojiTable))));
    ASSERT_NE(emojiTable().lookup(EmojiType::JSky, 13), nullptr);
  }
  static void TearDownTestSuite() { emojiTable().clear(); }
};

TEST_F(RenderEmojiTest, RenderedPerProfile) {
  struct Row {
    EmojiType type;
    std::string imgSrc;
    std::string element;
    std::string expected;
  };
  const std::string src = "/e/%num%.gif";
  const std::vector<Row> rows = {
      {EmojiType::IMode, src, "<k-emoji num=\"12\"/>", "\uE63E"},
      {EmojiType::Comment, src, "<k-emoji num=\"12\"/>", "<img src=\"/e/012.gif\" alt=\"\"/>"},
      {EmojiType::EZweb, src, "<k-emoji num=\"12\"/>", "<img src=\"/e/012.gif\" alt=\"\"/>"},
      {EmojiType::Comment, src, "<k-emoji num=\"13\"/>", "[c13]"},
      {EmojiType::EZweb, src, "<k-emoji num=\"13\"/>", "ez13"},
      {EmojiType::JSky, src, "<k-emoji num=\"13\"/>", "j13"},
      {EmojiType::Image, src, "<k-emoji num=\"13\"/>", "<img src=\"/e/013.gif\" alt=\"[c13]\"/>"},
      {EmojiType::Comment, src, "<k-emoji num=\"14\"/>", "<img src=\"/e/014.gif\" alt=\"\"/>"},
      // The image's alt is the comment whatever the profile's family.
      {EmojiType::JSky, src, "<k-emoji num=\"15\"/>",
       "<img src=\"/e/015.gif\" alt=\"[a&amp;b]\"/>"},
      // The whole element goes, content included.
      {EmojiType::IMode, src, "<k-emoji num=\"13\">x<b/></k-emoji>", "i13"},
      // Number text as the C library reads it.
      {EmojiType::IMode, src, "<k-emoji num=\" +13x\"/>", "i13"},
      {EmojiType::IMode, src, "<k-emoji num=\"abc\"/>", "<img src=\"/e/000.gif\" alt=\"\"/>"},
      {EmojiType::IMode, src, "<k-emoji num=\"-5\"/>", "<img src=\"/e/0-5.gif\" alt=\"\"/>"},
      {EmojiType::IMode, src, "<k-emoji num=\"7\"/>", "<img src=\"/e/007.gif\" alt=\"\"/>"},
      {EmojiType::IMode, src, "<k-emoji num=\"1234\"/>", "<img src=\"/e/1234.gif\" alt=\"\"/>"},
      {EmojiType::IMode, "/e/%num%/%num%.gif", "<k-emoji num=\"3\"/>",
       "<img src=\"/e/003/%num%.gif\" alt=\"\"/>"},
      {EmojiType::IMode, "%num", "<k-emoji num=\"3\"/>", "<k-emoji num=\"3\"/>"},
      {EmojiType::IMode, src, "<k-emoji/>", "<k-emoji/>"},
      {EmojiType::IMode, src, "<k-emoji NUM=\"13\"/>", "<k-emoji NUM=\"13\"/>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.element + " type " + std::to_string(static_cast<int>(row.type)) + " " +
                 row.imgSrc);
    auto profile = offlineProfile(row.type);
    profile->emojiImgSrc = row.imgSrc;
    const auto out = convertPage(*profile, "<p>" + row.element + "</p>", &emojiTable());
    ASSERT_EQ(out.converted, S_OK);
    EXPECT_EQ(out.body, "<p>" + row.expected + "</p>");
  }
}

TEST_F(RenderEmojiTest, HandlerResults) {
  auto profile = offlineProfile(EmojiType::Image);
  dom::Document document;
  ASSERT_EQ(document.loadXML("<p><k-emoji num=\"1\"/><k-emoji/></p>"), S_OK);
  std::vector<dom::Node> nodes;
  ASSERT_EQ(document.selectNodes("//k-emoji", nodes), S_OK);
  ASSERT_EQ(nodes.size(), 2u);

  dom::Node replacement;
  EXPECT_EQ(renderEmoji(*profile, emojiTable(), document, nodes[0], replacement), E_FAIL)
      << "no %num% in an empty template";
  EXPECT_TRUE(replacement.isNull());
  EXPECT_EQ(renderEmoji(*profile, emojiTable(), document, nodes[1], replacement), S_FALSE);
  EXPECT_TRUE(replacement.isNull());

  profile->emojiImgSrc = "%num%";
  ASSERT_EQ(renderEmoji(*profile, emojiTable(), document, nodes[0], replacement), S_OK);
  EXPECT_EQ(replacement.xml(), "<img src=\"001\" alt=\"\"/>");
  EXPECT_TRUE(replacement.parentNode().isNull()) << "the element itself is left to the step";
  EXPECT_EQ(document.documentElement().xml(), "<p><k-emoji num=\"1\"/><k-emoji/></p>");
}

TEST_F(RenderEmojiTest, PassReplacesInPlaceAndStopsAtAFailure) {
  struct Row {
    std::string imgSrc;
    std::string page;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"%num%.gif",
       "<p>a<k-emoji num=\"13\"/>b<k-emoji num=\"1\"/>c</p><q><k-emoji num=\"13\"/></q>",
       "<p>ai13b<img src=\"001.gif\" alt=\"\"/>c</p><q>i13</q>"},
      // The missing number fails the pass: it and everything after it stay.
      {"", "<p><k-emoji num=\"13\"/><k-emoji num=\"99\"/><k-emoji num=\"13\"/></p>",
       "<p>i13<k-emoji num=\"99\"/><k-emoji num=\"13\"/></p>"},
      // Nested emoji: the outer one goes first and takes the inner one along.
      {"%num%", "<p><k-emoji num=\"13\"><k-emoji num=\"14\"/></k-emoji></p>", "<p>i13</p>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    auto profile = offlineProfile(EmojiType::IMode);
    profile->emojiImgSrc = row.imgSrc;
    const auto out = convertPage(*profile, "<div>" + row.page + "</div>", &emojiTable());
    ASSERT_EQ(out.converted, S_OK);
    EXPECT_EQ(out.body, "<div>" + row.expected + "</div>");
  }
}

TEST_F(RenderEmojiTest, ShiftJisProfileWritesThePrivateUseEmoji) {
  auto profile = offlineProfile(EmojiType::IMode);
  profile->codePage = 932;
  const auto out = convertPage(*profile, "<p><k-emoji num=\"12\"/></p>", &emojiTable());
  ASSERT_EQ(out.converted, S_OK);
  EXPECT_EQ(out.body, "<p>\xF8\x9F</p>");
}

}  // namespace
}  // namespace vantomer
