// The example settings and emoji table that operators start from: they load
// in the module, and every sample page reaches each handset family as that
// family's page.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/codepage.h"
#include "support/paths.h"
#include "support/test_host.h"

namespace vantomer::test {
namespace {

std::string readExample(const std::string& name) {
  std::ifstream in(sourceDir() + "/examples/" + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct Family {
  const char* name;
  const char* userAgent;
  const char* contentType;
  int codePage;
  const char* bodyStart;  // what the body begins with
  const char* sun;        // emoji 1 as the handset receives it
};

const Family kFamilies[] = {
    {"i-mode", "DoCoMo/2.0 P903i(c100;TB;W24H12)", "application/xhtml+xml; charset=Shift_JIS", 932,
     "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><!DOCTYPE html PUBLIC \"-//i-mode group",
     "\xF8\x9F"},
    {"EZweb", "KDDI-SA31 UP.Browser/6.2.0.7.3.129 (GUI) MMP/2.0",
     "application/xhtml+xml; charset=Shift_JIS", 932,
     "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", "\xF6\x60"},
    {"J-SKY", "SoftBank/1.0/910T/TJ001/SN123456789012345 Browser/NetFront/3.3",
     "text/html; charset=Shift_JIS", 932, "<html", "\xF9\x8B"},
    {"PC", "Mozilla/5.0 (X11; Linux x86_64)", "text/html; charset=UTF-8", 65001,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<img src=\"/emoji/001.svg\" alt=\"[晴れ]\"/>"},
};

const char* kPages[] = {"index.tm", "login.tm", "news.tm", "bench-2k.tm"};

TEST(Examples, EveryPageReachesEveryFamily) {
  FilterModule module(readExample("Vantomer.setting"), readExample("Emoji.setting"));
  ASSERT_TRUE(module.loaded()) << module.openError();
  Connection connection(module);
  for (const Family& family : kFamilies) {
    for (const char* page : kPages) {
      SCOPED_TRACE(std::string(family.name) + " " + page);
      const Exchange exchange =
          connection.run(Request{}.userAgent(family.userAgent),
                         appResponse(readExample(std::string("pages/") + page)));
      ASSERT_TRUE(isOneCompleteResponse(exchange.clientBytes));
      EXPECT_EQ(exchange.response.statusCode(), 200);
      EXPECT_EQ(exchange.response.header("Content-Type").value_or(""), family.contentType);
      const std::string& body = exchange.response.body;
      EXPECT_EQ(body.rfind(family.bodyStart, 0), 0u) << body.substr(0, 200);
      EXPECT_EQ(body.find("TELMARK Parse Error"), std::string::npos);
      EXPECT_EQ(body.find("k-emoji"), std::string::npos);
      EXPECT_EQ(body.find("k-carrier"), std::string::npos);
      EXPECT_EQ(body.find("k-mode"), std::string::npos);
      // The bytes are valid in the family's code page: nothing decodes to U+FFFD.
      std::string decoded;
      ASSERT_EQ(codepage::decode(family.codePage, body, decoded), S_OK);
      EXPECT_EQ(decoded.find("\xEF\xBF\xBD"), std::string::npos);
    }
  }
}

TEST(Examples, TheSunEmojiLeavesInEachFamilysForm) {
  FilterModule module(readExample("Vantomer.setting"), readExample("Emoji.setting"));
  ASSERT_TRUE(module.loaded()) << module.openError();
  Connection connection(module);
  for (const Family& family : kFamilies) {
    SCOPED_TRACE(family.name);
    const Exchange exchange =
        connection.run(Request{}.userAgent(family.userAgent),
                       appResponse("<html><body><k-emoji num=\"1\"/></body></html>"));
    EXPECT_NE(exchange.response.body.find(family.sun), std::string::npos) << exchange.response.body;
  }
}

}  // namespace
}  // namespace vantomer::test
