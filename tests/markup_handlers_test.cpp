#include "convert/markup_handlers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/telmark.h"

namespace vantomer {
namespace {

using test::convertPage;
using test::offlineProfile;

std::string convert(EmojiType type, const std::string& page, bool iXHTML = false) {
  auto profile = offlineProfile(type);
  profile->iXHTML = iXHTML;
  const auto out = convertPage(*profile, page);
  EXPECT_EQ(out.loaded, S_OK) << page;
  EXPECT_EQ(out.converted, S_OK) << page;
  return out.body;
}

constexpr EmojiType kAllTypes[] = {EmojiType::Image, EmojiType::Comment, EmojiType::IMode,
                                   EmojiType::EZweb, EmojiType::JSky};

TEST(MarkupHandlersTest, KCarrierKeepsOrDropsPerFamily) {
  struct Row {
    std::string attributes;
    // Kept for Image, Comment, IMode, EZweb, JSky.
    bool kept[5];
  };
  const std::vector<Row> rows = {
      {"i=\"true\"", {false, false, true, false, false}},
      {"i=\"false\" ez=\"true\"", {false, false, false, true, false}},
      {"j=\"false\"", {true, true, true, true, false}},
      {"", {true, true, true, true, true}},
      {"pc=\"TRUE\"", {true, true, false, false, false}},
      {"I=\"true\"", {false, false, false, false, false}},
      {"id=\"true\"", {false, false, false, false, false}},
      {"i=\"TrUe\"", {false, false, true, false, false}},
      {"i=\"yes\"", {true, true, false, true, true}},
      // The family's own attribute decides wherever it stands.
      {"ez=\"true\" i=\"true\"", {false, false, true, true, false}},
      {"i=\"true\" ez=\"true\"", {false, false, true, true, false}},
      {"j=\"true\" ez=\"false\"", {false, false, false, false, true}},
  };
  for (const Row& row : rows) {
    for (int t = 0; t < 5; ++t) {
      SCOPED_TRACE("<k-carrier " + row.attributes + "> for type " + std::to_string(t));
      const std::string body = convert(
          kAllTypes[t], "<p>a<k-carrier " + row.attributes + ">x<b>y</b> </k-carrier>z</p>");
      EXPECT_EQ(body, row.kept[t] ? "<p>ax<b>y</b> z</p>" : "<p>az</p>");
    }
  }
}

TEST(MarkupHandlersTest, NestedKCarriersAreDecidedOuterFirst) {
  struct Row {
    EmojiType type;
    std::string page;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {EmojiType::IMode,
       "<p><k-carrier i=\"true\">a<k-carrier ez=\"true\">b</k-carrier>c</k-carrier></p>",
       "<p>ac</p>"},
      {EmojiType::EZweb,
       "<p><k-carrier i=\"true\">a<k-carrier ez=\"true\">b</k-carrier>c</k-carrier></p>", "<p/>"},
      {EmojiType::EZweb, "<p><k-carrier>a<k-carrier ez=\"true\">b</k-carrier>c</k-carrier></p>",
       "<p>abc</p>"},
      {EmojiType::IMode, "<p><k-carrier><k-carrier><i>d</i></k-carrier></k-carrier></p>",
       "<p><i>d</i></p>"},
      {EmojiType::IMode, "<k-carrier i=\"true\"><p>x</p></k-carrier>", "<p>x</p>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    EXPECT_EQ(convert(row.type, row.page), row.expected);
  }
}

TEST(MarkupHandlersTest, KModeBecomesIStyle) {
  struct Row {
    std::string element;
    std::string expected;        // without iXHTML
    std::string expectedIXhtml;  // with iXHTML
  };
  const std::vector<Row> rows = {
      {"<input k-mode=\"jp\"/>", "<input istyle=\"1\"/>",
       "<input style=\"-wap-input-format:&quot;*&lt;ja:h&gt;&quot;; \"/>"},
      {"<input k-mode=\"en\"/>", "<input istyle=\"3\"/>",
       "<input style=\"-wap-input-format:&quot;*&lt;ja:en&gt;&quot;; \"/>"},
      {"<textarea k-mode=\"n\">t</textarea>", "<textarea istyle=\"4\">t</textarea>",
       "<textarea style=\"-wap-input-format:&quot;*&lt;ja:n&gt;&quot;; \">t</textarea>"},
      {"<input k-mode=\"JP\"/>", "<input istyle=\"\"/>", "<input style=\"\"/>"},
      {"<input k-mode=\"\"/>", "<input istyle=\"\"/>", "<input style=\"\"/>"},
      {"<input istyle=\"2\" k-mode=\"jp\"/>", "<input istyle=\"1\"/>",
       "<input style=\"-wap-input-format:&quot;*&lt;ja:h&gt;&quot;; \"/>"},
      {"<select k-mode=\"jp\"/>", "<select k-mode=\"jp\"/>", "<select k-mode=\"jp\"/>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.element);
    EXPECT_EQ(convert(EmojiType::IMode, "<p>" + row.element + "</p>"),
              "<p>" + row.expected + "</p>");
    EXPECT_EQ(convert(EmojiType::IMode, "<p>" + row.element + "</p>", true),
              "<p>" + row.expectedIXhtml + "</p>");
  }
}

TEST(MarkupHandlersTest, IStyleAppendsTheInputFormat) {
  struct Row {
    std::string attributes;
    std::string style;
  };
  const std::vector<Row> rows = {
      {"istyle=\"1\"", "-wap-input-format:\"*<ja:h>\"; "},
      {"istyle=\"2\" style=\"color:red\"", "color:red-wap-input-format:\"*<ja:hk>\"; "},
      {"style=\"a; \" istyle=\"3\"", "a; -wap-input-format:\"*<ja:en>\"; "},
      {"istyle=\"4\"", "-wap-input-format:\"*<ja:n>\"; "},
      {"istyle=\"5\" style=\"b\"", "b"},
      {"istyle=\" 1\"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.attributes);
    auto profile = offlineProfile();
    profile->iXHTML = true;
    dom::Document document;
    const auto out = convertPage(*profile, "<p><input " + row.attributes + "/></p>", document);
    ASSERT_EQ(out.converted, S_OK);
    std::vector<dom::Node> inputs;
    ASSERT_EQ(document.selectNodes("//input", inputs), S_OK);
    ASSERT_EQ(inputs.size(), 1u);
    std::string value;
    EXPECT_EQ(inputs[0].getAttribute("style", value), S_OK);
    EXPECT_EQ(value, row.style);
    EXPECT_EQ(inputs[0].getAttribute("istyle", value), S_FALSE);
  }
}

TEST(MarkupHandlersTest, MarqueeBecomesAStyledDiv) {
  struct Row {
    std::string attributes;
    std::string style;
  };
  const std::vector<Row> rows = {
      {"behavior=\"alternate\" direction=\"left\" loop=\"3\"",
       "display:-wap-marquee; -wap-marquee-style:alternate; -wap-marquee-dir:rtl; "
       "-wap-marquee-loop:3; "},
      {"", "display:-wap-marquee; "},
      {"loop=\"infinite\" direction=\"right\" behavior=\"scroll\"",
       "display:-wap-marquee; -wap-marquee-style:scroll; -wap-marquee-dir:ltr; "
       "-wap-marquee-loop:infinite; "},
      {"behavior=\"slide\" id=\"m\" class=\"c\"",
       "display:-wap-marquee; -wap-marquee-style:slide; "},
      {"behavior=\"Scroll\" direction=\"up\" loop=\"\"", "display:-wap-marquee; "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.attributes);
    EXPECT_EQ(convert(EmojiType::IMode,
                      "<p><marquee " + row.attributes + ">a<b>c</b>d</marquee></p>", true),
              "<p><div style=\"" + row.style + "\">a<b>c</b>d</div></p>");
  }
}

TEST(MarkupHandlersTest, NestedMarqueesBothBecomeDivs) {
  EXPECT_EQ(
      convert(EmojiType::IMode, "<p><marquee>a<marquee loop=\"1\">b</marquee></marquee></p>", true),
      "<p><div style=\"display:-wap-marquee; \">a<div style=\"display:-wap-marquee; "
      "-wap-marquee-loop:1; \">b</div></div></p>");
}

}  // namespace
}  // namespace vantomer
