#include "platform/markup_limits.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/dom.h"

namespace vantomer::dom {
namespace {

std::string attributes(int n, const char* quote = "\"") {
  std::string text;
  for (int i = 0; i < n; ++i) text += " a" + std::to_string(i) + "=" + quote + quote;
  return text;
}

std::string nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<d>";
  for (int i = 0; i < depth; ++i) text += "</d>";
  return text;
}

TEST(MarkupLimits, CapsAtAndPastTheirBounds) {
  const MarkupLimits caps{4, 3, 12};
  const struct {
    const char* name;
    std::string text;
    const char* excess;  // part of the reason; nullptr when within
    int line;
  } cases[] = {
      {"attributes at the cap", "<p" + attributes(4) + "/>", nullptr, 0},
      {"attributes past the cap", "<p\n" + attributes(5, "'") + "/>", "than 4 attributes", 2},
      {"depth at the cap", nested(3), nullptr, 0},
      {"depth past the cap", nested(4), "deeper than 3", 1},
      {"self-closed elements add no depth", "<d><d><d/><d/><d/></d></d>", nullptr, 0},
      {"nodes past the cap",
       "<r>" + std::string(5, 'x') + "<b/>t&amp;t<b/><b/><b/><b/><b/><b/><b/><b/></r>", "12 nodes",
       1},
      // Markup the parser does not read as tags.
      {"comment", "<r><!--" + std::string("<p") + attributes(9) + ">--></r>", nullptr, 0},
      {"CDATA", "<r><![CDATA[<p" + attributes(9) + ">]]></r>", nullptr, 0},
      {"processing instruction", "<?pi <p" + attributes(9) + ">?><r/>", nullptr, 0},
      {"doctype subset", "<!DOCTYPE r [<!ENTITY x \"a>b\">]><r/>", nullptr, 0},
      // What the parser would read on from: "<" ends a value and its tag.
      {"tag inside a value", "<r a='<p" + attributes(5) + ">'/>", "than 4 attributes", 1},
      {"tag after a bogus PI", "<r><? <p" + attributes(5) + "> ?></r>", "than 4 attributes", 1},
      {"markup in an entity value", "<!DOCTYPE r [<!ENTITY x '<p" + attributes(5) + ">'>]><r/>",
       "than 4 attributes", 1},
      {"unterminated comment", "<r><!-- <p" + attributes(9), nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto excess = checkMarkupLimits(c.text, caps);
    if (!c.excess) {
      EXPECT_FALSE(excess) << excess->reason;
      continue;
    }
    ASSERT_TRUE(excess);
    EXPECT_NE(excess->reason.find(c.excess), std::string::npos) << excess->reason;
    EXPECT_EQ(excess->line, c.line);
  }
  EXPECT_FALSE(checkMarkupLimits("<p" + attributes(50000) + "/>", MarkupLimits{}));
}

TEST(MarkupLimits, ADocumentOverACapLoadsAsMalformed) {
  Document document;
  document.setLimits({256, 256, 200000});
  EXPECT_EQ(document.loadXML("<p" + attributes(20000) + "/>"), S_FALSE);
  EXPECT_EQ(document.parseError().reason,
            "The document has more than 256 attributes on one element.");
  EXPECT_TRUE(document.documentElement().isNull());
  EXPECT_EQ(document.loadXML("<p" + attributes(256) + "/>"), S_OK);
}

}  // namespace
}  // namespace vantomer::dom
