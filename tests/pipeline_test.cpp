// Whole TELMARK responses through the real module and its exports.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/test_host.h"

namespace vantomer::test {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";

std::string settings() {
  const std::string off =
      "<LocationCorrect>off</LocationCorrect><CookieImitation>off</CookieImitation>";
  return settingsFile(
      "<InputCoordinator><AddAccesskeyIcon><Icon key=\"1\" emoji=\"1\"/></AddAccesskeyIcon>"
      "</InputCoordinator>" +
      profileElement("DoCoMo/.*",
                     "<EmojiType>i-mode</EmojiType><EmojiImgSrc>/e/%num%.gif</EmojiImgSrc>"
                     "<CodePage>932</CodePage><Charset>Shift_JIS</Charset>"
                     "<XMLDeclaration>" +
                         xmlEscape(kDeclaration) +
                         "</XMLDeclaration>"
                         "<ContentType>application/xhtml+xml</ContentType><iXHTML>on</iXHTML>" +
                         off) +
      profileElement("Broken/.*", "<CodePage>12345</CodePage>" + off) +
      profileElement("Legacy/.*", "<HTMLMode>on</HTMLMode>" + off) +
      profileElement(".*", "<EmojiImgSrc>/e/%num%.gif</EmojiImgSrc>" + off));
}

std::string emoji() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><emoji>"
         "<map num=\"1\" i-mode=\"&#xE63E;\" comment=\"[sun]\"/>"
         "<map num=\"2\" i-mode=\"&#xE63F;\"/>"
         "</emoji>";
}

const std::string kPage =
    "<html><body>\u3042<k-emoji num=\"1\"/><k-emoji num=\"2\"/>"
    "<k-carrier i=\"true\">i</k-carrier><k-carrier ez=\"true\">ez</k-carrier>"
    "<a accesskey=\"1\" href=\"/n\">next</a><br/><input k-mode=\"n\"/></body></html>";

class PipelineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = new FilterModule(settings(), emoji()); }
  static void TearDownTestSuite() {
    delete module_;
    module_ = nullptr;
  }

  Exchange run(const std::string& agent, const std::string& response,
               std::size_t blockSize = 4096) {
    EXPECT_TRUE(module_->loaded()) << module_->openError();
    Connection connection(*module_);
    Exchange exchange = connection.run(Request{}.userAgent(agent), response, blockSize);
    EXPECT_TRUE(exchange.allNextNotification());
    EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
    EXPECT_EQ(exchange.filterContextAfter, nullptr);
    return exchange;
  }

  static FilterModule* module_;
};

FilterModule* PipelineTest::module_ = nullptr;

TEST_F(PipelineTest, ShiftJisProfileSendsCp932) {
  const Exchange exchange = run("DoCoMo/2.0 P903i", appResponse(kPage), 7);
  const HttpMessage& response = exchange.response;
  EXPECT_EQ(response.statusCode(), 200);
  EXPECT_EQ(response.header("Content-Type"), "application/xhtml+xml; charset=Shift_JIS");
  EXPECT_EQ(response.body,
            kDeclaration +
                "<html><body>\x82\xA0\xF8\x9F\xF8\xA0i\xF8\x9F<a accesskey=\"1\" "
                "href=\"/n\">next</a><br/><input style=\"-wap-input-format:&quot;*&lt;ja:n&gt;"
                "&quot;; \"/></body></html>");
  // The body reads back as CP932 without a single replacement character.
  std::string decoded;
  ASSERT_EQ(codepage::decode(932, response.body, decoded), S_OK);
  EXPECT_EQ(decoded.find("\uFFFD"), std::string::npos);
  EXPECT_NE(decoded.find("\u3042\uE63E\uE63F"), std::string::npos);
}

TEST_F(PipelineTest, Utf8ProfileSendsUtf8) {
  const Exchange exchange = run("Mozilla/5.0", appResponse(kPage));
  const HttpMessage& response = exchange.response;
  EXPECT_EQ(response.statusCode(), 200);
  EXPECT_EQ(response.header("Content-Type"), "text/html; charset=UTF-8");
  EXPECT_EQ(response.body,
            "<html><body>\u3042[sun]<img src=\"/e/002.gif\" alt=\"\"/>[sun]<a accesskey=\"1\" "
            "href=\"/n\">next</a><br/><input istyle=\"4\"/></body></html>");
}

TEST_F(PipelineTest, InputCharsetIsHonoured) {
  const std::string page = "<p>\x82\xA0&nbsp;</p>";
  const Exchange exchange =
      run("Legacy/1.0", appResponse(page, "text/x-telmark; charset=Shift_JIS; q=1"));
  EXPECT_EQ(exchange.response.header("Content-Type"), "text/html; charset=UTF-8; q=1");
  EXPECT_EQ(exchange.response.body, "<p>\u3042&nbsp;</p>");
}

TEST_F(PipelineTest, PageThatDoesNotParseSendsTheErrorPage) {
  const Exchange exchange =
      run("Legacy/1.0", "HTTP/1.1 404 Not Found\r\nContent-Type: text/x-telmark\r\n\r\n<p><br>");
  EXPECT_EQ(exchange.response.statusCode(), 404);
  EXPECT_EQ(exchange.response.header("Content-Type"), "text/html");
  EXPECT_EQ(exchange.response.body,
            "<html><head><title>ERROR</title></head><body>TELMARK Parse Error "
            "occured.</body></html>");
}

TEST_F(PipelineTest, UnknownCodePageGivesTheErrorResponse) {
  const Exchange exchange = run("Broken/1.0", appResponse(kPage));
  EXPECT_EQ(exchange.response.statusCode(), 500);
  EXPECT_EQ(exchange.response.reasonPhrase(), "Internal Server Error");
  EXPECT_EQ(exchange.response.header("Content-Type"), "text/plain");
  EXPECT_EQ(exchange.response.body.find("<html>"), std::string::npos);
}

}  // namespace
}  // namespace vantomer::test
