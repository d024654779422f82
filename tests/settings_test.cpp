#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/load_settings.h"
#include "support/telmark.h"

namespace vantomer {
namespace {

struct Loaded {
  HRESULT hr = E_UNEXPECTED;
  FilterSettings settings;
  InputCoordinator input;
  ProfileList profiles;
  int32_t timeoutMinutes = 60;
  std::string problem;
};

// Loads the file content from a fresh directory into fresh records.
std::unique_ptr<Loaded> loadText(const std::string& content) {
  test::ScratchDir dir;
  auto result = std::make_unique<Loaded>();
  const std::string path = dir.write("Vantomer.setting", content);
  result->hr = loadSettings(
      path,
      SettingsTargets{result->settings, result->input, result->profiles, result->timeoutMinutes},
      &result->problem);
  return result;
}

std::unique_ptr<Loaded> loadRoot(const std::string& inner) {
  return loadText("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Vantomer>" + inner + "</Vantomer>");
}

std::string repeat(const std::string& unit, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += unit;
  return out;
}

void expectDefaults(const Loaded& l) {
  const FilterSettings d;
  EXPECT_EQ(l.settings.locationCorrect, d.locationCorrect);
  EXPECT_EQ(l.settings.cookieImitation, d.cookieImitation);
  EXPECT_EQ(l.settings.cookieStockKey, d.cookieStockKey);
  EXPECT_EQ(l.settings.cookiePaddingMarkL, d.cookiePaddingMarkL);
  EXPECT_EQ(l.settings.cookiePaddingMarkR, d.cookiePaddingMarkR);
  EXPECT_EQ(l.input.contentType, "text/x-telmark");
  EXPECT_EQ(l.input.docType, kDefaultDocType);
  EXPECT_EQ(l.input.errorSource, kDefaultErrorSource);
  EXPECT_TRUE(l.input.accesskeyIcons.empty());
  EXPECT_TRUE(l.profiles.empty());
  EXPECT_EQ(l.timeoutMinutes, 60);
}

TEST(Settings, MissingOrMalformedFileKeepsEveryDefault) {
  {
    Loaded l;
    test::ScratchDir dir;
    l.hr = loadSettings(dir.path() + "/Vantomer.setting",
                        SettingsTargets{l.settings, l.input, l.profiles, l.timeoutMinutes});
    EXPECT_EQ(l.hr, S_FALSE);
    expectDefaults(l);
  }
  for (const char* content :
       {"", "<Vantomer><LocationCorrect>off</LocationCorrect>", "<a/><b/>", "not xml at all"}) {
    const auto l = loadText(content);
    EXPECT_EQ(l->hr, S_FALSE) << content;
    expectDefaults(*l);
  }
}

TEST(Settings, SwitchIsOnOnlyForOnInAnyCase) {
  const struct {
    const char* text;
    bool on;
  } cases[] = {{"on", true}, {"ON", true},    {"On", true}, {"oN", true},   {"yes", false},
               {"1", false}, {"true", false}, {"", false},  {"off", false}, {"onn", false}};
  for (const auto& c : cases) {
    const std::string t = c.text;
    const auto l = loadRoot("<LocationCorrect>" + t +
                            "</LocationCorrect><NewOutputCoordinator>"
                            "<HTMLMode>" +
                            t + "</HTMLMode><iXHTML>" + t + "</iXHTML></NewOutputCoordinator>");
    ASSERT_GE(l->hr, 0) << t;
    ASSERT_EQ(l->profiles.size(), 1u);
    EXPECT_EQ(l->settings.locationCorrect, c.on) << t;
    EXPECT_EQ(l->profiles[0]->htmlMode, c.on) << t;
    EXPECT_EQ(l->profiles[0]->iXHTML, c.on) << t;
    EXPECT_EQ(l->profiles[0]->locationCorrect, c.on) << t;  // inherited
  }
}

TEST(Settings, TextsFitOnlyBelowTheirWidth) {
  const std::string a = "\xE3\x81\x82";         // two bytes in CP932, three in UTF-8
  const std::string grin = "\xF0\x9F\x98\x80";  // two UTF-16 units
  enum Where { Root, Input, Profile };
  const struct {
    const char* name;
    Where where;
    std::string element;
    std::string value;
    bool fits;
    std::string problem;
  } cases[] = {
      {"pattern 1023 bytes", Profile, "UAPattern", repeat("a", 1023), true, ""},
      {"pattern 1024 bytes", Profile, "UAPattern", repeat("a", 1024), false,
       "NewOutputCoordinator[1]/UAPattern: 1024 bytes after conversion to code page 932; at most "
       "1023 fit"},
      {"padding mark 15 bytes", Root, "CookiePaddingMarkL", repeat("L", 15), true, ""},
      {"padding mark 16 bytes", Root, "CookiePaddingMarkL", repeat("L", 16), false,
       "CookiePaddingMarkL: 16 bytes after conversion to code page 932; at most 15 fit"},
      {"kana counted in CP932 bytes, 127", Root, "CookieStockKey", repeat(a, 63) + "k", true, ""},
      {"kana counted in CP932 bytes, 128", Root, "CookieStockKey", repeat(a, 64), false,
       "CookieStockKey: 128 bytes after conversion to code page 932; at most 127 fit"},
      {"image source 511 units", Profile, "EmojiImgSrc", repeat(grin, 255) + "x", true, ""},
      {"image source 512 units", Profile, "EmojiImgSrc", repeat(grin, 256), false,
       "NewOutputCoordinator[1]/EmojiImgSrc: 512 UTF-16 units; at most 511 fit"},
      {"content type 63 bytes", Input, "ContentType", repeat("t", 63), true, ""},
      {"content type 64 bytes", Input, "ContentType", repeat("t", 64), false,
       "InputCoordinator[1]/ContentType: 64 bytes after conversion to code page 932; at most 63 "
       "fit"},
      {"charset 64 bytes", Profile, "Charset", repeat("c", 64), false,
       "NewOutputCoordinator[1]/Charset: 64 bytes after conversion to code page 932; at most 63 "
       "fit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string element = "<" + c.element + ">" + c.value + "</" + c.element + ">";
    std::string inner = element;
    if (c.where == Input) inner = "<InputCoordinator>" + element + "</InputCoordinator>";
    if (c.where == Profile) inner = "<NewOutputCoordinator>" + element + "</NewOutputCoordinator>";
    const auto l = loadRoot(inner);
    EXPECT_EQ(l->hr >= 0, c.fits) << std::hex << l->hr;
    if (!c.fits) {
      EXPECT_EQ(l->hr, E_FAIL);
    }
    EXPECT_EQ(l->problem, c.problem);
  }
}

TEST(Settings, NarrowTextsAreStoredInTheAnsiCodePage) {
  const auto l = loadRoot(
      "<CookiePaddingMarkL>\xE3\x80\x8C</CookiePaddingMarkL>"
      "<NewOutputCoordinator><UAPattern>DoCoMo.*\xC3\xA9</UAPattern>"
      "<EmojiImgSrc>/e/%num%\xE3\x81\x82.gif</EmojiImgSrc></NewOutputCoordinator>");
  ASSERT_GE(l->hr, 0);
  EXPECT_EQ(l->settings.cookiePaddingMarkL, "\x81\x75");
  EXPECT_EQ(l->profiles[0]->uaPattern, "DoCoMo.*?");                   // lacking in CP932
  EXPECT_EQ(l->profiles[0]->emojiImgSrc, "/e/%num%\xE3\x81\x82.gif");  // wide stays UTF-8
}

TEST(Settings, CookieStockerTimeout) {
  const struct {
    const char* text;
    HRESULT hr;
    int32_t minutes;
  } cases[] = {
      {"-1", E_FAIL, 60},
      {"abc", S_OK, 0},
      {"15min", S_OK, 15},
      {" 30", S_OK, 30},
      {"0", S_OK, 0},
      {"71582", S_OK, 71582},
      {"99999", S_OK, 71582},
      {"99999999999", S_OK, 71582},
      {"-99999999999", E_FAIL, 60},
  };
  for (const auto& c : cases) {
    const auto l = loadRoot(std::string("<CookieStockerTimeoutMinutes>") + c.text +
                            "</CookieStockerTimeoutMinutes><NewOutputCoordinator/>");
    // A profile without children ends on a missing element: 1, still success.
    EXPECT_EQ(l->hr, failed(c.hr) ? c.hr : S_FALSE) << c.text;
    EXPECT_EQ(l->timeoutMinutes, c.minutes) << c.text;
    if (failed(c.hr)) {
      EXPECT_TRUE(l->profiles.empty()) << "the loader stops at the timeout";
      EXPECT_EQ(l->problem.rfind("CookieStockerTimeoutMinutes: negative value -", 0), 0u)
          << l->problem;
    }
  }
  EXPECT_EQ(loadRoot("")->timeoutMinutes, 60);
}

TEST(Settings, RootSwitchesApplyToProfilesWhereverTheyStand) {
  const auto l = loadRoot(
      "<NewOutputCoordinator><UAPattern>A.*</UAPattern></NewOutputCoordinator>"
      "<NewOutputCoordinator><CookieImitation>on</CookieImitation>"
      "<LocationCorrect>off</LocationCorrect></NewOutputCoordinator>"
      "<CookieImitation>off</CookieImitation>");
  ASSERT_GE(l->hr, 0);
  ASSERT_EQ(l->profiles.size(), 2u);
  EXPECT_FALSE(l->settings.cookieImitation);
  EXPECT_FALSE(l->profiles[0]->cookieImitation);
  EXPECT_TRUE(l->profiles[0]->locationCorrect);
  EXPECT_TRUE(l->profiles[1]->cookieImitation);
  EXPECT_FALSE(l->profiles[1]->locationCorrect);
}

TEST(Settings, InputCoordinatorsAndIcons) {
  const auto l = loadRoot(
      "<InputCoordinator><ContentType>text/first</ContentType>"
      "<DOCTYPE><![CDATA[<!DOCTYPE x>]]></DOCTYPE>"
      "<AddAccesskeyIcon>"
      "<Icon key=\"1\" emoji=\"1\"/><Icon key=\"1\" text=\"one\"/>"
      "<Icon key=\"2\" emoji=\"2\" text=\"two\"/>"
      "<Icon key=\"\" text=\"empty\"/>"
      "<Icon emoji=\"9\"/>"
      "<Icon key=\"3\"/>"
      "</AddAccesskeyIcon>"
      "<AddAccesskeyIcon><Icon key=\"ignored\" text=\"x\"/></AddAccesskeyIcon>"
      "</InputCoordinator>"
      "<InputCoordinator><ContentType>text/second</ContentType>"
      "<AddAccesskeyIcon><Icon key=\"4\" text=\"&amp;four\"/><Icon key=\"2\" text=\"deux\"/>"
      "</AddAccesskeyIcon></InputCoordinator>");
  ASSERT_GE(l->hr, 0);
  EXPECT_EQ(l->input.contentType, "text/second");
  EXPECT_EQ(l->input.docType, "<!DOCTYPE x>");
  EXPECT_EQ(l->input.errorSource, kDefaultErrorSource);
  const struct {
    const char* key;
    const char* emoji;
    const char* text;
  } expected[] = {
      {"", "", "empty"}, {"1", "", "one"}, {"2", "", "deux"}, {"3", "", ""}, {"4", "", "&four"}};
  ASSERT_EQ(l->input.accesskeyIcons.size(), std::size(expected));
  for (const auto& e : expected) {
    const auto it = l->input.accesskeyIcons.find(e.key);
    ASSERT_NE(it, l->input.accesskeyIcons.end()) << e.key;
    EXPECT_EQ(it->second.emoji, e.emoji) << e.key;
    EXPECT_EQ(it->second.text, e.text) << e.key;
  }
  // Emoji wins over text within one Icon.
  const auto both = loadRoot(
      "<InputCoordinator><AddAccesskeyIcon><Icon key=\"5\" text=\"t\" emoji=\"7\"/>"
      "</AddAccesskeyIcon></InputCoordinator>");
  EXPECT_EQ(both->input.accesskeyIcons.at("5").emoji, "7");
  EXPECT_EQ(both->input.accesskeyIcons.at("5").text, "");
}

TEST(Settings, EmojiTypeTexts) {
  const struct {
    const char* element;
    EmojiType type;
  } cases[] = {
      {"<EmojiType>Comment</EmojiType>", EmojiType::Comment},
      {"<EmojiType>COMMENT</EmojiType>", EmojiType::Comment},
      {"<EmojiType>i-mode</EmojiType>", EmojiType::IMode},
      {"<EmojiType>I-MODE</EmojiType>", EmojiType::IMode},
      {"<EmojiType>ezweb</EmojiType>", EmojiType::EZweb},
      {"<EmojiType>J-SKY</EmojiType>", EmojiType::JSky},
      {"<EmojiType>imode</EmojiType>", EmojiType::Image},
      {"<EmojiType>i mode</EmojiType>", EmojiType::Image},
      {"<EmojiType></EmojiType>", EmojiType::Image},
      {"<EmojiType>Image</EmojiType>", EmojiType::Image},
      {"", EmojiType::Comment},
  };
  for (const auto& c : cases) {
    const auto l =
        loadRoot(std::string("<NewOutputCoordinator>") + c.element + "</NewOutputCoordinator>");
    ASSERT_EQ(l->profiles.size(), 1u);
    EXPECT_EQ(l->profiles[0]->emojiType, c.type) << c.element;
  }
}

TEST(Settings, ProfilesInFileOrderWithTheirOwnValues) {
  const auto l = loadRoot(
      "<NewOutputCoordinator/>"
      "<Other><NewOutputCoordinator><UAPattern>nested</UAPattern></NewOutputCoordinator></Other>"
      "<NewOutputCoordinator><UAPattern>DoCoMo/.*</UAPattern><UAPattern>second</UAPattern>"
      "<EmojiType>i-mode</EmojiType><CodePage>932</CodePage><Charset>Shift_JIS</Charset>"
      "<XMLDeclaration>&lt;?xml version=\"1.0\"?&gt;</XMLDeclaration><XMLDTD>dtd</XMLDTD>"
      "<ContentType>application/xhtml+xml</ContentType></NewOutputCoordinator>"
      "<NewOutputCoordinator><CodePage>x</CodePage></NewOutputCoordinator>");
  ASSERT_GE(l->hr, 0);
  ASSERT_EQ(l->profiles.size(), 3u);
  EXPECT_EQ(l->profiles[0]->uaPattern, ".*");
  const OutputCoordinator& second = *l->profiles[1];
  EXPECT_EQ(second.uaPattern, "DoCoMo/.*");
  EXPECT_EQ(second.emojiType, EmojiType::IMode);
  EXPECT_EQ(second.codePage, 932);
  EXPECT_EQ(second.charset, "Shift_JIS");
  EXPECT_EQ(second.xmlDeclaration, "<?xml version=\"1.0\"?>");
  EXPECT_EQ(second.xmlDtd, "dtd");
  EXPECT_EQ(second.contentType, "application/xhtml+xml");
  EXPECT_EQ(l->profiles[2]->codePage, 0);  // not validated
}

TEST(Settings, FailureStopsTheLoadButKeepsTheProfileBeingRead) {
  const auto l = loadRoot(
      "<NewOutputCoordinator><UAPattern>one</UAPattern></NewOutputCoordinator>"
      "<NewOutputCoordinator><UAPattern>two</UAPattern><CodePage>932</CodePage>"
      "<Charset>" +
      repeat("c", 64) +
      "</Charset><ContentType>text/plain</ContentType>"
      "</NewOutputCoordinator>"
      "<NewOutputCoordinator><UAPattern>three</UAPattern></NewOutputCoordinator>");
  EXPECT_EQ(l->hr, E_FAIL);
  ASSERT_EQ(l->profiles.size(), 2u);
  EXPECT_EQ(l->profiles[1]->uaPattern, "two");
  EXPECT_EQ(l->profiles[1]->codePage, 932);
  EXPECT_EQ(l->profiles[1]->charset, "UTF-8");
  EXPECT_EQ(l->profiles[1]->contentType, "text/html");

  // A root-level failure: what came before holds, nothing after is read.
  const auto early =
      loadRoot("<CookieStockKey>key</CookieStockKey><CookiePaddingMarkL>" + repeat("L", 16) +
               "</CookiePaddingMarkL><CookiePaddingMarkR>R</CookiePaddingMarkR>"
               "<InputCoordinator><ContentType>text/x</ContentType></InputCoordinator>"
               "<NewOutputCoordinator/>");
  EXPECT_EQ(early->hr, E_FAIL);
  EXPECT_EQ(early->settings.cookieStockKey, "key");
  EXPECT_EQ(early->settings.cookiePaddingMarkL, "(=");
  EXPECT_EQ(early->settings.cookiePaddingMarkR, "=)");
  EXPECT_EQ(early->input.contentType, "text/x-telmark");
  EXPECT_TRUE(early->profiles.empty());
}

}  // namespace
}  // namespace vantomer
