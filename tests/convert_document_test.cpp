#include "convert/convert_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/header_map.h"
#include "support/telmark.h"

namespace vantomer {
namespace {

using test::convertPage;
using test::offlineProfile;

TEST(ConvertDocumentTest, HtmlModeOpensEmptyElements) {
  struct Row {
    std::string page;
    std::string html;
  };
  const std::vector<Row> rows = {
      {"<html><body>a<br/>b<img src=\"x\"/><p>c</p></body></html>",
       "<html><body>a<br>b<img src=\"x\"><p>c</p></body></html>"},
      {"<p><br/><br/></p>", "<p><br><br></p>"},
      {"<p/>", "<p>"},
      {"<p a=\"/&gt;\">/&gt;</p>", "<p a=\"/&gt;\">/&gt;</p>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    auto profile = offlineProfile();
    auto out = convertPage(*profile, row.page);
    ASSERT_EQ(out.converted, S_OK);
    EXPECT_EQ(out.body, row.page);

    profile->htmlMode = true;
    out = convertPage(*profile, row.page);
    ASSERT_EQ(out.converted, S_OK);
    EXPECT_EQ(out.body, row.html);
  }
}

TEST(ConvertDocumentTest, ContentTypeRewrite) {
  struct Row {
    std::string received;
    std::string contentType;
    std::string charset;
    std::string sent;
  };
  const std::vector<Row> rows = {
      {"text/x-telmark", "text/html", "UTF-8", "text/html"},
      {"text/x-telmark; charset=UTF-8", "application/xhtml+xml", "Shift_JIS",
       "application/xhtml+xml; charset=Shift_JIS"},
      {"text/x-telmark;Charset=utf-8", "text/html", "UTF-8", "text/html; Charset=UTF-8"},
      {"text/x-telmark; level=1; charset=x", "text/html", "UTF-8",
       "text/html; charset=UTF-8; level=1"},
      {"TEXT/X-TELMARK; a=1", "text/html", "UTF-8", "text/html; a=1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.received);
    auto profile = offlineProfile();
    profile->contentType = row.contentType;
    profile->charset = row.charset;
    dom::Document document;
    HeldResponse response;
    ResponseBody body;
    test::telmarkResponse("<p/>", response, body);
    response.headers.find("Content-Type")->second = row.received;
    ASSERT_EQ(document.loadXML("<p/>"), S_OK);
    ASSERT_EQ(SerializeDocument(*profile, response, body, document), S_OK);
    EXPECT_EQ(findHeader(response.headers, "content-type")->second, row.sent);
    EXPECT_EQ(response.headers.size(), 1u);
  }
}

TEST(ConvertDocumentTest, NoContentTypeIsAdded) {
  auto profile = offlineProfile();
  dom::Document document;
  ASSERT_EQ(document.loadXML("<p/>"), S_OK);
  HeldResponse response;
  ResponseBody body;
  ASSERT_EQ(SerializeDocument(*profile, response, body, document), S_OK);
  EXPECT_TRUE(response.headers.empty());
  EXPECT_EQ(body, "<p/>");
}

TEST(ConvertDocumentTest, DeclarationAndDtdPrecedeTheRootOnly) {
  auto profile = offlineProfile();
  profile->xmlDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
  profile->xmlDtd =
      "<!DOCTYPE html PUBLIC \"-//i-mode group (ja)//DTD XHTML i-XHTML(Locale/Ver.=ja/1.0) "
      "1.0//EN\" \"i-xhtml_4ja_10.dtd\">";
  profile->codePage = 932;
  const auto out =
      convertPage(*profile, "<!-- before --><?pi x?><html><p>\u3042</p></html><!--after-->");
  ASSERT_EQ(out.converted, S_OK);
  EXPECT_EQ(out.body, profile->xmlDeclaration + profile->xmlDtd + "<html><p>\x82\xA0</p></html>");
}

TEST(ConvertDocumentTest, IXhtmlSwitchesTheWapSteps) {
  const std::string page =
      "<p><marquee behavior=\"slide\">m</marquee><input istyle=\"3\"/>"
      "<input k-mode=\"jp\"/><textarea k-mode=\"n\"/></p>";
  auto profile = offlineProfile();
  dom::Document plain;
  auto out = convertPage(*profile, page, plain);
  ASSERT_EQ(out.converted, S_OK);
  EXPECT_EQ(out.body,
            "<p><marquee behavior=\"slide\">m</marquee><input istyle=\"3\"/>"
            "<input istyle=\"1\"/><textarea istyle=\"4\"/></p>");

  profile->iXHTML = true;
  dom::Document wap;
  out = convertPage(*profile, page, wap);
  ASSERT_EQ(out.converted, S_OK);
  std::vector<dom::Node> nodes;
  ASSERT_EQ(wap.selectNodes("//*[@istyle or @k-mode]|//marquee", nodes), S_OK);
  EXPECT_TRUE(nodes.empty());
  ASSERT_EQ(wap.selectNodes("//input|//textarea", nodes), S_OK);
  ASSERT_EQ(nodes.size(), 3u);
  const char* styles[] = {"-wap-input-format:\"*<ja:en>\"; ", "-wap-input-format:\"*<ja:h>\"; ",
                          "-wap-input-format:\"*<ja:n>\"; "};
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    std::string style;
    EXPECT_EQ(nodes[i].getAttribute("style", style), S_OK);
    EXPECT_EQ(style, styles[i]);
  }
  ASSERT_EQ(wap.selectNodes("/p/div", nodes), S_OK);
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0].xml(),
            "<div style=\"display:-wap-marquee; -wap-marquee-style:slide; \">m</div>");
}

// Each step works on what the earlier steps left: fields inside a dropped
// k-carrier are gone, fields unwrapped from a kept one or moved into a
// marquee's div are converted in their new places, in document order.
TEST(ConvertDocumentTest, StepsSeeTheTreeTheEarlierStepsLeft) {
  auto profile = offlineProfile();  // the "pc" family
  profile->iXHTML = true;
  const std::string n = "-wap-input-format:&quot;*&lt;ja:n&gt;&quot;; ";
  const std::string h = "-wap-input-format:&quot;*&lt;ja:h&gt;&quot;; ";
  const struct {
    std::string page;
    std::string body;
  } cases[] = {
      {"<p><k-carrier i=\"true\"><input k-mode=\"jp\"/></k-carrier><input k-mode=\"n\"/></p>",
       "<p><input style=\"" + n + "\"/></p>"},
      {"<p><k-carrier pc=\"true\"><k-carrier i=\"true\"><textarea k-mode=\"jp\"/></k-carrier>"
       "<textarea k-mode=\"jp\"/></k-carrier></p>",
       "<p><textarea style=\"" + h + "\"/></p>"},
      {"<p><marquee><k-carrier pc=\"true\"><input k-mode=\"n\"/></k-carrier></marquee>"
       "<input istyle=\"1\"/></p>",
       "<p><div style=\"display:-wap-marquee; \"><input style=\"" + n +
           "\"/></div><input style=\"" + h + "\"/></p>"},
      {"<p><marquee><marquee>x</marquee></marquee></p>",
       "<p><div style=\"display:-wap-marquee; \"><div style=\"display:-wap-marquee; "
       "\">x</div></div>"
       "</p>"},
  };
  for (const auto& c : cases) {
    const auto out = convertPage(*profile, c.page);
    ASSERT_EQ(out.converted, S_OK) << c.page;
    EXPECT_EQ(out.body, c.body) << c.page;
  }
}

TEST(ConvertDocumentTest, EmojiAreRenderedBeforeTheirCarrierIsDropped) {
  // An emoji the image step cannot render fails that step only: the
  // k-carrier step still runs and the page still goes out.
  auto profile = offlineProfile(EmojiType::Image);
  const auto out =
      convertPage(*profile, "<p><k-emoji num=\"1\"/><k-carrier i=\"true\">x</k-carrier>y</p>");
  ASSERT_EQ(out.converted, S_OK);
  EXPECT_EQ(out.body, "<p><k-emoji num=\"1\"/>y</p>");
}

TEST(ConvertDocumentTest, DroppedRootFailsInsteadOfSendingNothing) {
  auto profile = offlineProfile(EmojiType::IMode);
  const auto out = convertPage(*profile, "<k-carrier ez=\"true\"><p>x</p></k-carrier>");
  ASSERT_EQ(out.loaded, S_OK);
  EXPECT_EQ(out.converted, E_FAIL);
  EXPECT_EQ(out.body, "<k-carrier ez=\"true\"><p>x</p></k-carrier>") << "body left as it was";
}

TEST(ConvertDocumentTest, CodePageWithoutConverterFails) {
  auto profile = offlineProfile();
  profile->codePage = 12345;
  const auto out = convertPage(*profile, "<p>a</p>");
  EXPECT_EQ(out.converted, E_FAIL);
  EXPECT_EQ(out.body, "<p>a</p>");
  EXPECT_EQ(findHeader(out.response.headers, "Content-Type")->second,
            "text/x-telmark; charset=UTF-8");
}

}  // namespace
}  // namespace vantomer
