// Emoji through the module: the table file's rules, each family's text
// against the image fallback, and accesskey icons given as emoji numbers.

#include <gtest/gtest.h>

#include <string>

#include "support/test_host.h"

namespace vantomer::test {
namespace {

std::string emojiFile() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><emoji>"
         "<map num=\"007\" comment=\"[seven]\" i-mode=\"I7\" EZweb=\"E7\" J-SKY=\"J7\"/>"
         // The first element that gives a family a text decides it.
         "<map num=\"5\" i-mode=\"I5\"/>"
         "<map num=\"5\" i-mode=\"later\" EZweb=\"E5\"/>"
         // An empty text stays stored, counts as absent and blocks later ones.
         "<map num=\"6\" comment=\"\"/>"
         "<map num=\"6\" comment=\"later\" J-SKY=\"J6\"/>"
         "<map num=\"0\" comment=\"zero\"/><map num=\"abc\" comment=\"abc\"/>"
         "<group><map num=\"8\" comment=\"nested\"/></group>"
         "</emoji>";
}

std::string settings() {
  std::string profiles;
  for (const char* type : {"Image", "Comment", "i-mode", "EZweb", "J-SKY"})
    profiles += profileElement(std::string(type) + "/.*",
                               "<EmojiType>" + std::string(type) +
                                   "</EmojiType><EmojiImgSrc>/e/%num%.gif</EmojiImgSrc>"
                                   "<LocationCorrect>off</LocationCorrect>"
                                   "<CookieImitation>off</CookieImitation>");
  return settingsFile(
      "<InputCoordinator><AddAccesskeyIcon><Icon key=\"9\" emoji=\"7\"/></AddAccesskeyIcon>"
      "</InputCoordinator>" +
      profiles);
}

struct Case {
  const char* type;
  const char* num;
  const char* expected;  // what stands between <p> and </p>
};

const Case kCases[] = {
    {"Image", "7", "<img src=\"/e/007.gif\" alt=\"[seven]\"/>"},
    {"Comment", "7", "[seven]"},
    {"i-mode", "7", "I7"},
    {"EZweb", "7", "E7"},
    {"J-SKY", "7", "J7"},
    {"i-mode", "5", "I5"},
    {"EZweb", "5", "E5"},
    {"Comment", "5", "<img src=\"/e/005.gif\" alt=\"\"/>"},
    {"Comment", "6", "<img src=\"/e/006.gif\" alt=\"\"/>"},
    {"J-SKY", "6", "J6"},
    {"Comment", "0", "<img src=\"/e/000.gif\" alt=\"\"/>"},
    {"Comment", "8", "<img src=\"/e/008.gif\" alt=\"\"/>"},
    {"i-mode", "-5", "<img src=\"/e/0-5.gif\" alt=\"\"/>"},
    {"EZweb", "1234", "<img src=\"/e/1234.gif\" alt=\"\"/>"},
};

TEST(EmojiThroughTheModule, FamilyTextOrImage) {
  FilterModule module(settings(), emojiFile());
  ASSERT_TRUE(module.loaded()) << module.openError();
  Connection connection(module);
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.num);
    const Exchange exchange = connection.run(
        Request{}.userAgent(std::string(c.type) + "/1.0"),
        appResponse("<html><p><k-emoji num=\"" + std::string(c.num) + "\"/></p></html>"));
    ASSERT_TRUE(isOneCompleteResponse(exchange.clientBytes));
    EXPECT_EQ(exchange.response.body, "<html><p>" + std::string(c.expected) + "</p></html>");
  }
}

TEST(EmojiThroughTheModule, AccesskeyIconIsRenderedLikeAnyEmoji) {
  FilterModule module(settings(), emojiFile());
  ASSERT_TRUE(module.loaded()) << module.openError();
  Connection connection(module);
  const std::string page = "<html><p><a accesskey=\"9\" href=\"/x\">x</a></p></html>";
  for (const Case& c :
       {Case{"i-mode", "", "I7"}, Case{"Image", "", "<img src=\"/e/007.gif\" alt=\"[seven]\"/>"}}) {
    SCOPED_TRACE(c.type);
    const Exchange exchange =
        connection.run(Request{}.userAgent(std::string(c.type) + "/1.0"), appResponse(page));
    EXPECT_EQ(exchange.response.body, "<html><p>" + std::string(c.expected) +
                                          "<a accesskey=\"9\" href=\"/x\">x</a></p></html>");
  }
}

// Without "%num%" the emoji step stops at the first emoji that needs an
// image; the later steps still run and the page goes out.
TEST(EmojiThroughTheModule, MissingImageTemplateStopsTheEmojiStep) {
  FilterModule module(settingsFile(profileElement(".*", "<EmojiType>Comment</EmojiType>")),
                      emojiFile());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const Exchange exchange =
      connection.run(Request{}, appResponse("<html><k-emoji num=\"7\"/><k-emoji num=\"99\"/>"
                                            "<k-emoji num=\"7\"/><k-carrier>c</k-carrier></html>"));
  EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
  EXPECT_EQ(exchange.response.statusCode(), 200);
  EXPECT_EQ(exchange.response.body,
            "<html>[seven]<k-emoji num=\"99\"/><k-emoji num=\"7\"/>c</html>");
}

}  // namespace
}  // namespace vantomer::test
