// The tools of the vantomer executable end to end: convert, check, and the
// charset a page without a configured type is labelled with, by the static
// root and by convert alike.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "support/both_hosts.h"
#include "support/serve_host.h"

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;
using After = TestUpstream::After;
using Host = ServeHost;
const std::string& kSettings = kSmallSettings;
const std::string& kEmoji = kSmallEmoji;

TEST(HostConvert, ShowsWhatTheHandsetReceives) {
  Host host;
  const std::string page = host.dir.write("page.tm", kPage);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> output;
  } cases[] = {
      {{"--ua", kIMode, "--content-type", kPageType, page}, 0, {kSjisA + kSjisSun}},
      {{"--ua", kPc, "--content-type", kPageType, "--head", page},
       0,
       {"HTTP/1.1 200 OK\r\n", "Content-Type: text/html; charset=UTF-8\r\n", "/e/001.gif"}},
      {{"--ua", kPc, "--content-type", "text/plain", page}, 0, {kPage}},
      {{"--ua", kIMode, "--content-type", kPageType, "-"}, 0, {kSjisA}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"convert", "--module", host.moduleCopy};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CommandResult result = runProgram(hostPath(), args, kPage);
    EXPECT_EQ(result.status, c.status) << result.err;
    for (const std::string& part : c.output)
      EXPECT_TRUE(contains(result.out, part)) << part << " in " << result.out;
  }
  CommandResult head =
      runProgram(hostPath(), {"convert", "--module", host.moduleCopy, "--ua", kIMode,
                              "--content-type", kPageType, "--head", page});
  const std::size_t split = head.out.find("\r\n\r\n");
  ASSERT_NE(split, std::string::npos);
  EXPECT_TRUE(contains(head.out.substr(0, split),
                       "Content-Length: " + std::to_string(head.out.size() - split - 4)));
}

TEST(HostConvert, ResponseWithoutAProfileFails) {
  Host host(modulePath(),
            "<Vantomer><NewOutputCoordinator><UAPattern>DoCoMo.*</UAPattern>"
            "</NewOutputCoordinator></Vantomer>");
  const std::string page = host.dir.write("page.tm", kPage);
  CommandResult result = runProgram(
      hostPath(), {"convert", "--module", host.moduleCopy, "--ua", "Other/1.0", "--head", page});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(contains(result.out, "HTTP/1.1 500 Internal Server Error"));
  // The error body is a message: on stderr, not among the page bytes.
  EXPECT_FALSE(contains(result.out, "Unspecified error"));
  EXPECT_TRUE(contains(result.err, "500 Internal Server Error: Unspecified error")) << result.err;
  // The reason is left to the check tool, named with this module and agent.
  EXPECT_TRUE(
      contains(result.err, "vantomer check --module " + host.moduleCopy + " --ua 'Other/1.0'"))
      << result.err;
}

TEST(HostCheck, ReportsWhatFailsTheLoadAndWarnsAboutRequestTime) {
  const auto profile = [](const std::string& inner) {
    return "<NewOutputCoordinator>" + inner + "</NewOutputCoordinator>";
  };
  const auto settings = [](const std::string& inner) {
    return "<Vantomer>" + inner + "</Vantomer>";
  };
  struct Case {
    std::optional<std::string> settings;
    std::optional<std::string> emoji;
    int status;
    std::vector<std::string> output;
  } cases[] = {
      {kSettings, kEmoji, 0, {"OK: the filter loads with these files (2 profiles, 0 warnings)"}},
      {settings(profile("<UAPattern>" + std::string(1024, 'a') + "</UAPattern>")),
       kEmoji,
       1,
       {"error", "UAPattern", "1024", "at most 1023"}},
      {settings("<CookieStockerTimeoutMinutes>-5</CookieStockerTimeoutMinutes>"),
       kEmoji,
       1,
       {"CookieStockerTimeoutMinutes", "negative"}},
      {settings(profile("<UAPattern>(DoCoMo</UAPattern>")),
       kEmoji,
       0,
       {"warning", "not a valid regular expression"}},
      {settings(profile("<CodePage>12345</CodePage>")), kEmoji, 0, {"CodePage 12345"}},
      {settings(profile("<EmojiType>Image</EmojiType>")), kEmoji, 0, {"has no \"%num%\""}},
      {settings(profile("<UAPattern>.*</UAPattern>") + profile("<UAPattern>DoCoMo.*</UAPattern>")),
       kEmoji,
       0,
       {"NewOutputCoordinator[2]", "never chosen", "NewOutputCoordinator[1]"}},
      {settings(profile("<UAPattern>(|.+)</UAPattern>") + profile("")),
       kEmoji,
       0,
       {"never chosen"}},
      // Settings that cannot convert a single page are no working site.
      {std::nullopt,
       std::nullopt,
       1,
       {"Vantomer.setting: warning: missing", "Emoji.setting", "error: no output profile",
        "FAILED: the filter loads with these files, but cannot convert a page"}},
      {"<Vantomer><broken></Vantomer>", kEmoji, 1, {"not well-formed", "line 1"}},
      {settings("<LocationCorrect>off</LocationCorrect>"), kEmoji, 1, {"no NewOutputCoordinator"}},
      {settings(profile("<UAPattern>DoCoMo.*</UAPattern>")), kEmoji, 0, {"no profile matches"}},
  };
  for (const Case& c : cases) {
    ServerDir dir;
    const std::string module = dir.copy(modulePath(), "vantomer.so");
    if (c.settings) dir.write("Vantomer.setting", *c.settings);
    if (c.emoji) dir.write("Emoji.setting", *c.emoji);
    CommandResult result = runProgram(hostPath(), {"check", "--module", module});
    EXPECT_EQ(result.status, c.status) << result.out;
    for (const std::string& part : c.output)
      EXPECT_TRUE(contains(result.out, part)) << part << " in " << result.out;
  }
}

TEST(HostCheck, SaysWhichProfileAUserAgentGets) {
  ServerDir dir;
  const std::string module = dir.copy(modulePath(), "vantomer.so");
  dir.write("Vantomer.setting", kSettings);
  dir.write("Emoji.setting", kEmoji);
  CommandResult listed = runProgram(hostPath(), {"check", "--module", module, "--verbose"});
  EXPECT_EQ(listed.status, 0) << listed.out;
  EXPECT_TRUE(contains(listed.out, "\"DoCoMo/2.0 P903i(c100;TB;W24H12)\"\n    -> ")) << listed.out;
  CommandResult one = runProgram(hostPath(), {"check", "--module", module, "--ua", "Nobody/1"});
  EXPECT_TRUE(contains(one.out, "\"Nobody/1\"\n    -> ")) << one.out;
  EXPECT_FALSE(contains(one.out, "DoCoMo/2.0 P903i")) << one.out;
}

// Mistakes the filter would pass over in silence.
TEST(HostCheck, NamesMistakesTheFilterPassesOverInSilence) {
  const auto root = [](const std::string& extra) {
    std::string s = kSettings;
    return s.insert(s.find("<Vantomer>") + 10, extra);
  };
  const auto inProfile = [](const std::string& extra) {
    std::string s = kSettings;
    return s.insert(s.find("<UAPattern>.*"), extra);
  };
  struct Case {
    std::string module;  // a file name in the directory; empty for the module
    std::string settings;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> output;
  } cases[] = {
      {"vantomr.so", kSettings, {}, 1, {"vantomr.so: error: no such file", "FAILED"}},
      {"Vantomer.setting", kSettings, {}, 1, {"error: not a filter module", "ELF"}},
      {"",
       inProfile("<UAPatern>.*</UAPatern>"),
       {},
       0,
       {"warning: NewOutputCoordinator[2]/UAPatern: unknown; did you mean UAPattern?"}},
      {"", root("<locationCorrect>on</locationCorrect>"), {}, 0, {"did you mean LocationCorrect?"}},
      {"", root("<Colour>red</Colour>"), {}, 0, {"Colour: unknown; the filter ignores it"}},
      {"",
       root("<UAPattern>.*</UAPattern>"),
       {},
       0,
       {"UAPattern: not read here; it is read inside NewOutputCoordinator"}},
      {"",
       root("<InputCoordinator><AddAccesskeyIcon><Ikon key=\"1\"/></AddAccesskeyIcon>"
            "</InputCoordinator>"),
       {},
       0,
       {"InputCoordinator[1]/AddAccesskeyIcon/Ikon: unknown; did you mean Icon?"}},
      {"",
       root("<LocationCorrect>on</LocationCorrect><LocationCorrect>off</LocationCorrect>"),
       {},
       0,
       {"LocationCorrect[2]: ignored; only the first LocationCorrect counts"}},
      {"",
       root("<CookieStockerTimeoutMinutes>6O</CookieStockerTimeoutMinutes>"),
       {},
       0,
       {"CookieStockerTimeoutMinutes: \"6O\" does not read whole as a number; the filter uses 6"}},
      {"",
       root("<LocationCorrect>yes</LocationCorrect>"),
       {},
       0,
       {"LocationCorrect: \"yes\" is neither on nor off; the filter uses off"}},
      {"",
       inProfile("<CodePage>99999999999</CodePage><EmojiType>imode</EmojiType>"),
       {},
       0,
       {"CodePage: \"99999999999\" is out of range; the filter uses 2147483647",
        "EmojiType: \"imode\" is none of", "the filter uses Image"}},
      {"",
       root("<LocationCorrect>OFF</LocationCorrect><CookieStockerTimeoutMinutes>+15"
            "</CookieStockerTimeoutMinutes>"),
       {"--strict"},
       0,
       {"(2 profiles, 0 warnings)"}},
      {"",
       root("<LocationCorrect>yes</LocationCorrect>"),
       {"--strict"},
       1,
       {"error: LocationCorrect", "FAILED: 1 warning, made errors by --strict"}},
  };
  for (const Case& c : cases) {
    ServerDir dir;
    const std::string module = dir.copy(modulePath(), "vantomer.so");
    dir.write("Vantomer.setting", c.settings);
    dir.write("Emoji.setting", kEmoji);
    std::vector<std::string> args{"check", "--module",
                                  c.module.empty() ? module : dir.file(c.module)};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CommandResult result = runProgram(hostPath(), args);
    EXPECT_EQ(result.status, c.status) << result.out;
    for (const std::string& part : c.output)
      EXPECT_TRUE(contains(result.out, part)) << part << " in " << result.out;
  }
}

// A page without a configured type is labelled by its bytes, by the static
// root and by convert alike; the settings here let every page pass through
// unconverted, so the label itself is seen.
TEST(HostCharset, UnlabelledPagesAreLabelledByTheirBytes) {
  Host host(modulePath(),
            "<Vantomer><InputCoordinator><ContentType>text/x-none</ContentType>"
            "</InputCoordinator><NewOutputCoordinator/></Vantomer>");
  const std::string ascii(65535, 'a');  // the static root reads 64 KiB blocks
  const struct {
    std::string page;
    std::string charset;
  } cases[] = {
      {"<p>あ</p>", "UTF-8"},
      {"<p>" + kSjisA + "</p>", "Shift_JIS"},
      {"<?xml version=\"1.0\"?><p>あ</p>", "UTF-8"},
      {"<?xml version='1.0' encoding='windows-31j'?><p/>", "Shift_JIS"},
      {"<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<p>\xA4\xA2</p>", "EUC-JP"},
      {ascii + "あ", "UTF-8"},
      {ascii + "\xE3\x81", "Shift_JIS"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    host.dir.write("www/" + std::to_string(i) + ".tm", cases[i].page);
  host.dir.write("www/configured.tmx", "<p>あ</p>");
  host.start({"--root", host.dir.file("www"), "--mime", ".tmx=text/x-telmark"});
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string type = "text/x-telmark; charset=" + cases[i].charset;
    auto served = fetch(host.port, "/" + std::to_string(i) + ".tm", {{"User-Agent", kPc}});
    ASSERT_TRUE(served);
    EXPECT_EQ(served->header("Content-Type"), type) << i;
    CommandResult converted =
        runProgram(hostPath(), {"convert", "--module", host.moduleCopy, "--ua", kPc, "--head",
                                host.dir.file("www/" + std::to_string(i) + ".tm")});
    EXPECT_TRUE(contains(converted.out, "Content-Type: " + type + "\r\n")) << i << converted.out;
  }
  EXPECT_EQ(fetch(host.port, "/configured.tmx", {})->header("Content-Type"), "text/x-telmark");
}

}  // namespace
}  // namespace vantomer::test
