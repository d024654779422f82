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

// User-Agents of every documented form of each family, and of the browsers
// that must not pass for handsets.
const struct {
  const char* family;
  const char* userAgent;
} kAgents[] = {
    {"i-mode", "DoCoMo/1.0/D501i"},
    {"i-mode", "DoCoMo/1.0/P503i/c10"},
    {"i-mode", "DoCoMo/1.0/SH506iC/c20/TB/W24H12/ser12345678901"},
    {"i-mode", "DoCoMo/2.0 N2001(c10)"},
    {"i-mode", "DoCoMo/2.0 P903i(c100;TB;W24H12)"},
    {"i-mode", "DoCoMo/2.0 SH906i(c100;TB;W24H16;ser123456789012345;icc8981100000000000000f)"},
    {"i-mode", "DoCoMo/2.0 P07A3(c500;TB;W24H15)"},
    {"i-mode", "N905i DoCoMo/2.0 N905i(c100;TB;W24H16)"},
    {"i-mode",
     "DoCoMo/2.0 N905i(c100;TB;W24H16) (compatible; Googlebot-Mobile/2.1; "
     "+http://www.google.com/bot.html)"},
    {"EZweb", "KDDI-SA31 UP.Browser/6.2.0.7.3.129 (GUI) MMP/2.0"},
    {"EZweb", "KDDI-TS3H UP.Browser/6.2_7.2.7.1.K.1.400 (GUI) MMP/2.0"},
    {"EZweb", "UP.Browser/3.04-SN12 UP.Link/3.4.4"},
    {"EZweb", "UP.Browser/3.01-HI01 UP.Link/3.4.5.2"},
    {"EZweb",
     "KDDI-CA39 UP.Browser/6.2.0.13.1.5 (GUI) MMP/2.0 (compatible; Googlebot-Mobile/2.1; "
     "+http://www.google.com/bot.html)"},
    {"J-SKY", "J-PHONE/2.0/J-DN02"},
    {"J-SKY",
     "J-PHONE/4.0/J-SH51/SNJSHA3029293 SH/0001aa Profile/MIDP-1.0 Configuration/CLDC-1.0 "
     "Ext-Profile/JSCL-1.1.0"},
    {"J-SKY",
     "J-PHONE/5.0/V801SA/SN123456789012 SA/0001JP Profile/MIDP-1.0 Configuration/CLDC-1.0 "
     "Ext-Profile/JSCL-1.1.0"},
    {"J-SKY",
     "Vodafone/1.0/V802SE/SEJ001/SN123456789012345 Browser/SEMC-Browser/4.1 Profile/MIDP-2.0 "
     "Configuration/CLDC-1.1"},
    {"J-SKY",
     "Vodafone/1.0/V705SH/SHJ001/SN123456789012345 Browser/UP.Browser/7.0.2.1 Profile/MIDP-2.0 "
     "Configuration/CLDC-1.1 Ext-J-Profile/JSCL-1.2.2 Ext-V-Profile/VSCL-2.0.0"},
    {"J-SKY",
     "Vodafone/1.0/V702NK/NKJ001 Series60/2.6 Nokia6630/2.39.148 Profile/MIDP-2.0 "
     "Configuration/CLDC-1.1"},
    {"J-SKY",
     "SoftBank/1.0/910T/TJ001/SN123456789012345 Browser/NetFront/3.3 Profile/MIDP-2.0 "
     "Configuration/CLDC-1.1"},
    {"J-SKY",
     "SoftBank/1.0/812SH/SHJ001/SN123456789012345 Browser/UP.Browser/7.0.2.1 Profile/MIDP-2.0 "
     "Configuration/CLDC-1.1 Ext-J-Profile/JSCL-1.2.2 Ext-V-Profile/VSCL-2.0.0"},
    {"J-SKY", "MOT-V980/80.2F.2E. MIB/2.2.1 Profile/MIDP-2.0 Configuration/CLDC-1.1"},
    {"J-SKY", "MOT-C980/80.2B.04I MIB/2.2.1 Profile/MIDP-2.0 Configuration/CLDC-1.1"},
    {"J-SKY",
     "SoftBank/1.0/910T/TJ001/SN000000000000000 Browser/NetFront/3.3 Profile/MIDP-2.0 "
     "Configuration/CLDC-1.1 (compatible; Googlebot-Mobile/2.1; +http://www.google.com/bot.html)"},
    // Smartphones, also those that name an operator.
    {"PC",
     "Mozilla/5.0 (iPhone; U; CPU iPhone OS 3_0 like Mac OS X; ja-jp) AppleWebKit/528.18 "
     "(KHTML, like Gecko) Version/4.0 Mobile/7A341 Safari/528.16"},
    {"PC",
     "Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
     "Gecko) Version/17.1 Mobile/15E148 Safari/604.1"},
    {"PC",
     "Mozilla/5.0 (Linux; U; Android 2.3.4; ja-jp; SC-02C Build/GINGERBREAD) AppleWebKit/533.1 "
     "(KHTML, like Gecko) Version/4.0 Mobile Safari/533.1"},
    {"PC",
     "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/120.0.6099.144 Mobile Safari/537.36"},
    {"PC",
     "Vodafone/1.0/HTC_Magic/2.1 Mozilla/5.0 (Linux; U; Android 1.5; en-gb; HTC Magic "
     "Build/CRB17) AppleWebKit/528.5+ (KHTML, like Gecko) Version/3.1.2 Mobile Safari/525.20.1"},
    {"PC",
     "Vodafone/1.0/0Vodafone845/B736 Mozilla/5.0 (Linux; U; Android 2.1-update1; en-gb; "
     "Vodafone 845 Build/ERE27) AppleWebKit/530.17 (KHTML, like Gecko) Version/4.0 Mobile "
     "Safari/530.17"},
    {"PC",
     "Mozilla/5.0 (compatible; MSIE 9.0; Windows Phone OS 7.5; Trident/5.0; IEMobile/9.0; "
     "FujitsuToshibaMobileCommun; IS12T; KDDI)"},
    // The PC-site browsers of handsets, and phones of other countries.
    {"PC", "Mozilla/4.08 (N905i;FOMA;c300;TB)"},
    {"PC", "Mozilla/4.0 (compatible; MSIE 6.0; KDDI-SA39) Opera 8.60 [ja]"},
    {"PC",
     "SAMSUNG-SGH-E250/1.0 Profile/MIDP-2.0 Configuration/CLDC-1.1 UP.Browser/6.2.3.3.c.1.101 "
     "(GUI) MMP/2.0"},
    {"PC", "MOT-V3/0E.40.3CR MIB/2.2.1 Profile/MIDP-2.0 Configuration/CLDC-1.1"},
    // Desktop browsers, crawlers, and none at all.
    {"PC", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)"},
    {"PC", "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:121.0) Gecko/20100101 Firefox/121.0"},
    {"PC",
     "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/17.1 Safari/605.1.15"},
    {"PC", "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"},
    {"PC", "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)"},
    {"PC", "Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)"},
    {"PC", "curl/8.5.0"},
    {"PC", ""},
};

TEST(Examples, EachUserAgentGetsItsFamilysProfile) {
  FilterModule module(readExample("Vantomer.setting"), readExample("Emoji.setting"));
  ASSERT_TRUE(module.loaded()) << module.openError();
  Connection connection(module);
  // Each family keeps only its own name.
  const std::string page =
      "<html><body><k-carrier i=\"true\">i-mode</k-carrier><k-carrier ez=\"true\">EZweb</k-carrier>"
      "<k-carrier j=\"true\">J-SKY</k-carrier><k-carrier pc=\"true\">PC</k-carrier></body></html>";
  for (const auto& agent : kAgents) {
    SCOPED_TRACE(agent.userAgent);
    Request request;
    if (*agent.userAgent) request.userAgent(agent.userAgent);
    const Exchange exchange = connection.run(request, appResponse(page));
    ASSERT_EQ(exchange.response.statusCode(), 200);
    EXPECT_NE(exchange.response.body.find(std::string("<body>") + agent.family + "</body>"),
              std::string::npos)
        << exchange.response.body;
    for (const Family& family : kFamilies) {
      if (std::string(family.name) == agent.family) {
        EXPECT_EQ(exchange.response.header("Content-Type").value_or(""), family.contentType);
      }
    }
  }
}

}  // namespace
}  // namespace vantomer::test
