// vantomer preview against the real module and an upstream on 127.0.0.1:
// the grid each page gives, column by column, and the preview's other
// answers.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <regex>

#include "support/host_http.h"
#include "support/host_process.h"
#include "support/paths.h"

namespace vantomer::test {
namespace {

const char* const kFamilies[] = {"i-mode", "EZweb", "J-SKY", "PC"};

std::string telmark(const std::string& body) {
  return "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title></head><body>\n" +
         body + "\n</body></html>";
}

// Pages of the upstream, by path.
std::string page(const std::string& path) {
  if (path == "/emoji.tm")
    return telmark(
        "<p><k-emoji num=\"1\"/>晴れの日<k-emoji num=\"1085\"/><k-emoji "
        "num=\"9999\"/>&#xE000;</p>");
  if (path == "/keys.tm")
    return telmark(
        "<p><a href=\"next.tm\">次へ</a> <a href=\"http://other.example/\">外</a></p>"
        "<form action=\"post.tm\"><input name=\"q\"/></form>");
  if (path == "/loss.tm") return telmark("<p>한국어とアイウ</p>");
  if (path == "/many.tm") return telmark("<p>가각갂갃간갅갆갇갈갉갊갋갌갍</p>");
  if (path == "/broken.tm") return telmark("<p>閉じない段落\n</body></html>");
  if (path == "/big.tm") return telmark("<p>" + std::string(3000, 'x') + "</p>");
  return {};
}

std::string unescape(std::string text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, character] : kEntities) {
    for (std::size_t at = text.find(entity); at != std::string::npos;
         at = text.find(entity, at + 1))
      text.replace(at, std::strlen(entity), character);
  }
  return text;
}

struct Column {
  std::string label;
  std::string frame;  // srcdoc, unescaped
  std::string head;
  std::string warnings;  // "kind: text" lines
  std::string rest;      // all of the column's markup
};

std::vector<Column> columns(const std::string& grid) {
  std::vector<Column> out;
  // The frame is found without a regex: std::regex recurses once per
  // character and a whole page overflows the stack of a sanitized build.
  const std::regex label("<h2>([^<]*)</h2>"), head("<dl class=\"head\">(.*?)</dl>"),
      warning("<li class=\"warning ([a-z]+)\">([^<]*)</li>");
  auto between = [](const std::string& text, const std::string& open, const std::string& close) {
    const std::size_t start = text.find(open);
    if (start == std::string::npos) return std::string();
    const std::size_t from = start + open.size();
    return text.substr(from, text.find(close, from) - from);
  };
  for (std::size_t at = grid.find("<section class=\"column\""); at != std::string::npos;) {
    const std::size_t end = grid.find("</section>", at);
    Column c;
    c.rest = grid.substr(at, end - at);
    std::smatch m;
    if (std::regex_search(c.rest, m, label)) c.label = m[1];
    c.frame = unescape(between(c.rest, "srcdoc=\"", "\""));
    if (std::regex_search(c.rest, m, head)) c.head = m[1];
    for (std::sregex_iterator i(c.rest.begin(), c.rest.end(), warning), e; i != e; ++i)
      c.warnings += (*i)[1].str() + ": " + unescape((*i)[2].str()) + "\n";
    out.push_back(c);
    at = grid.find("<section class=\"column\"", end);
  }
  return out;
}

class PreviewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ServerDir();
    dir_->copy(modulePath(), "module/vantomer.so");
    dir_->copy(sourceDir() + "/examples/Vantomer.setting", "module/Vantomer.setting");
    dir_->copy(sourceDir() + "/examples/Emoji.setting", "module/Emoji.setting");
    dir_->write("pictures/001.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"one\"/>");
    upstream_ = new TestUpstream([](const UpstreamRequest& r, int fd) {
      const std::string path = r.url.substr(0, r.url.find('?'));
      const std::string body = page(path);
      Fields extra;
      if (path == "/keys.tm") extra.push_back({"Set-Cookie", "session=abc; path=/"});
      TestUpstream::write(
          fd, body.empty()
                  ? TestUpstream::response(404, "text/plain", "none\n")
                  : TestUpstream::response(200, "text/x-telmark; charset=UTF-8", body, extra));
      return TestUpstream::After::KeepOpen;
    });
    port_ = freePort();
    preview_ =
        new ChildProcess(hostPath(),
                         {"preview", "--module", dir_->file("module/vantomer.so"), "--upstream",
                          "http://127.0.0.1:" + std::to_string(upstream_->port()), "--listen",
                          "127.0.0.1:" + std::to_string(port_), "--max-bytes", "2k", "--max-bytes",
                          "PC=1M", "--pictures", dir_->file("pictures")},
                         dir_->path());
    ASSERT_TRUE(preview_->waitForPort(port_)) << preview_->err();
  }
  static void TearDownTestSuite() {
    preview_->signal(SIGTERM);
    EXPECT_EQ(preview_->wait(std::chrono::seconds(10)), 0) << preview_->err();
    delete preview_;
    delete upstream_;
    delete dir_;
  }

  static std::optional<HttpResponse> get(const std::string& url, const Fields& fields = {}) {
    return fetch(port_, url, fields);
  }

  static inline ServerDir* dir_ = nullptr;
  static inline TestUpstream* upstream_ = nullptr;
  static inline ChildProcess* preview_ = nullptr;
  static inline unsigned port_ = 0;
};

// For each page: what every handset column must show. Carrier columns are
// the first three, PC the fourth.
struct GridCase {
  const char* path;
  const char* carrierFrame;     // in the frame of each carrier column
  const char* pcFrame;          // in the frame of the PC column
  const char* carrierWarnings;  // expected warning lines, in order ("" none)
  const char* jskyWarnings;     // the J-SKY column's, when they differ (null: as above)
  const char* pcWarnings;
  bool keyed;  // carrier frames mark links and forms that carry the key
};

const GridCase kGrid[] = {
    // Carrier codes drawn as pictures with the number; a number no family
    // knows is named; J-SKY lacks 1085 and gets its image.
    {"/emoji.tm",
     "<img class=\"vt-emoji\" src=\"/~preview/picture/1\" alt=\"[晴れ]\" title=\"emoji 1 ",
     "<img src=\"/emoji/001.svg\" alt=\"[晴れ]\"/>晴れの日",
     "emoji: emoji 9999 is in no family of Emoji.setting (a wrong number?)\n"
     "emoji: private-use characters that are no FAMILY emoji of Emoji.setting: U+E000\n",
     "emoji: emoji 9999 is in no family of Emoji.setting (a wrong number?)\n"
     "emoji: Emoji.setting has no J-SKY text for emoji 1085: sent as images of "
     "EmojiImgSrc \"/emoji/%num%.gif\"\n"
     "emoji: private-use characters that are no FAMILY emoji of Emoji.setting: U+E000\n",
     "emoji: emoji 9999 is in no family of Emoji.setting (a wrong number?)\n", false},
    // The Set-Cookie gives a key; same-site links and the form carry it.
    {"/keys.tm", "<form data-vt-key=\"", "<a href=\"next.tm\">次へ</a>", "", nullptr, "", true},
    // Hangul is not in code page 932; kana is.
    {"/loss.tm", "<p>???とアイウ</p>", "<p>한국어とアイウ</p>",
     "loss: \"국\" (U+AD6D, 1×) is not in code page 932 and came out as \"?\"\n"
     "loss: \"어\" (U+C5B4, 1×) is not in code page 932 and came out as \"?\"\n"
     "loss: \"한\" (U+D55C, 1×) is not in code page 932 and came out as \"?\"\n",
     nullptr, "", false},
    // The error page stands in; the parser's line and reason are shown.
    {"/broken.tm", "TELMARK Parse Error occured.", "TELMARK Parse Error occured.",
     "parse: the page does not parse (line 3: Opening and ending tag mismatch: p line 2 and "
     "body); the handset receives the error page\n",
     nullptr,
     "parse: the page does not parse (line 3: Opening and ending tag mismatch: p line 2 and "
     "body); the handset receives the error page\n",
     false},
    // Over 2k for the handsets, under the PC column's own 1M.
    {"/big.tm", "xxxxxxxx", "xxxxxxxx",
     "size: SIZE bytes: over the 2048 bytes set for this column\n", nullptr, "", false},
};

TEST_F(PreviewTest, GridShowsEachHandsetsPageHeadProfileAndWarnings) {
  for (const GridCase& c : kGrid) {
    SCOPED_TRACE(c.path);
    auto r = get(std::string("/?path=") + c.path);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(r->header("Content-Security-Policy")->find("default-src 'none'"), std::string::npos);
    EXPECT_NE(
        r->body.find(std::string("id=\"path\" name=\"path\" value=\"") + c.path + "\" autofocus"),
        std::string::npos);
    EXPECT_NE(r->body.find("only this machine can open the preview"), std::string::npos);
    const std::vector<Column> grid = columns(r->body);
    ASSERT_EQ(grid.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      const Column& col = grid[i];
      const bool pc = i == 3;
      SCOPED_TRACE(col.label);
      EXPECT_EQ(col.label, kFamilies[i]);
      EXPECT_NE(col.rest.find("<iframe sandbox=\"allow-top-navigation-by-user-activation\""),
                std::string::npos);
      EXPECT_NE(col.frame.find(pc ? c.pcFrame : c.carrierFrame), std::string::npos) << col.frame;
      EXPECT_NE(col.frame.find("<base href=\"" + std::string(c.path) + "\" target=\"_top\">"),
                std::string::npos);
      EXPECT_NE(col.head.find(pc ? "text/html; charset=UTF-8" : "; charset=Shift_JIS"),
                std::string::npos)
          << col.head;
      const std::string profile = "Profile " + std::to_string(i + 1) + " of 4 (" +
                                  (pc ? "Image" : kFamilies[i]) + ", code page " +
                                  (pc ? "65001" : "932") + "): the first whose UAPattern";
      EXPECT_NE(col.rest.find(profile), std::string::npos);
      std::string expected = pc                         ? c.pcWarnings
                             : i == 2 && c.jskyWarnings ? c.jskyWarnings
                                                        : c.carrierWarnings;
      const std::size_t family = expected.find("FAMILY");
      if (family != std::string::npos) expected.replace(family, 6, kFamilies[i]);
      const std::size_t size = expected.find("SIZE");
      if (size != std::string::npos) {
        std::smatch m;
        ASSERT_TRUE(
            std::regex_search(col.head, m, std::regex("<dd class=\"size\">([0-9]+) bytes")));
        expected.replace(size, 4, m[1].str());
      }
      EXPECT_EQ(col.warnings, expected);
      EXPECT_EQ(col.rest.find("No warnings.") != std::string::npos, expected.empty());
      const bool keyed = c.keyed && !pc;  // the PC profile keeps its cookies
      EXPECT_EQ(col.frame.find("<a data-vt-key=\"") != std::string::npos, keyed);
      EXPECT_EQ(col.rest.find("<p class=\"keys\">2 links and forms carry the stock key") !=
                    std::string::npos,
                keyed);
      EXPECT_EQ(col.frame.find("href=\"http://other.example/\"") != std::string::npos,
                c.keyed);  // never marked: another site
    }
  }
}

// Twelve lost characters are named, the rest counted.
TEST_F(PreviewTest, ManyLostCharactersAreCounted) {
  auto r = get("/?path=/many.tm");
  ASSERT_TRUE(r);
  const std::string warnings = columns(r->body).at(0).warnings;
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 13) << warnings;
  EXPECT_NE(warnings.find("\"갋\" (U+AC0B, 1×)"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("loss: 2 more characters are not in code page 932\n"), std::string::npos);
}

// A marked link, followed, shows the page the handset reaches with it: the
// filter takes the key out and the application gets the stocked cookie back.
TEST_F(PreviewTest, MarkedLinkBringsTheStockedCookieBack) {
  auto first = get("/?path=/keys.tm");
  ASSERT_TRUE(first);
  std::smatch m;
  const std::string frame = columns(first->body).at(0).frame;
  ASSERT_TRUE(
      std::regex_search(frame, m, std::regex("<a data-vt-key=\"[^\"]+\" href=\"([^\"]+)\"")));
  const std::string link = m[1];  // (=KEY=)next.tm, relative to /keys.tm
  auto next = get("/" + link, {{"Sec-Fetch-Mode", "navigate"}});
  ASSERT_TRUE(next);
  ASSERT_EQ(next->status, 303);
  auto grid = get(*next->header("Location"));
  ASSERT_TRUE(grid);
  EXPECT_EQ(grid->status, 200);
  std::vector<std::string> cookies;  // of the i-mode requests for /next.tm
  for (const UpstreamRequest& r : upstream_->requests())
    if (r.url == "/next.tm" && r.header("User-Agent")->rfind("DoCoMo/", 0) == 0)
      cookies.push_back(r.header("Cookie").value_or("none"));
  EXPECT_EQ(cookies, std::vector<std::string>{"session=abc;"});
}

// The preview's other answers: pictures, the site behind it, bad input.
struct AnswerCase {
  const char* url;
  Fields fields;
  int status;
  const char* contentType;
  const char* body;  // a part of it, or the Location of a redirect
};

const AnswerCase kAnswers[] = {
    {"/~preview/picture/1", {}, 200, "image/svg+xml", "id=\"one\""},
    {"/~preview/picture/42", {}, 200, "image/svg+xml", ">42</text>"},
    // The site's image emoji: the site has none, so the picture stands in.
    {"/emoji/007.gif", {}, 200, "image/svg+xml", ">7</text>"},
    {"/missing.txt", {}, 404, "text/plain", "none"},
    // A link followed inside a frame shows the linked page in the grid.
    {"/(=k=)news.tm?a=1&b=2",
     {{"Sec-Fetch-Mode", "navigate"}},
     303,
     nullptr,
     "/?path=/(=k=)news.tm?a=1%26b=2"},
    {"/?path=index.tm", {}, 200, "text/html; charset=utf-8", "A path starts with"},
    {"/?path=%2Fbroken.tm%3Fx%3D%3Cscript%3E",
     {},
     200,
     "text/html; charset=utf-8",
     "value=\"/broken.tm?x=&lt;script&gt;\""},
};

TEST_F(PreviewTest, OtherAnswers) {
  for (const AnswerCase& c : kAnswers) {
    SCOPED_TRACE(c.url);
    auto r = get(c.url, c.fields);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, c.status);
    if (c.status == 303) {
      EXPECT_EQ(r->header("Location"), c.body);
      continue;
    }
    EXPECT_EQ(r->header("Content-Type"), c.contentType);
    EXPECT_NE(r->body.find(c.body), std::string::npos) << r->body;
    EXPECT_EQ(r->body.find("<script>"), std::string::npos);
  }
}

// The example pages from a directory, as the example settings convert them.
struct RootCase {
  std::vector<std::string> extra;  // further arguments
  const char* frame;               // in every frame
  const char* warning;             // a warning every column has (empty: none at all)
};

const RootCase kRoot[] = {
    {{}, "Vantomerポータル</a></h1>", ""},
    // As `serve` sends them by default: UTF-8 read as code page 932.
    {{"--mime", ".tm=text/x-telmark"}, "<title>", "the page is not text of code page 932"},
};

TEST(PreviewRootTest, ExamplePagesFromADirectory) {
  ServerDir dir;
  dir.copy(modulePath(), "vantomer.so");
  dir.copy(sourceDir() + "/examples/Vantomer.setting", "Vantomer.setting");
  dir.copy(sourceDir() + "/examples/Emoji.setting", "Emoji.setting");
  for (const RootCase& c : kRoot) {
    SCOPED_TRACE(c.warning);
    const unsigned port = freePort();
    std::vector<std::string> args = {"preview",
                                     "--module",
                                     dir.file("vantomer.so"),
                                     "--root",
                                     sourceDir() + "/examples/pages",
                                     "--listen",
                                     "127.0.0.1:" + std::to_string(port)};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ChildProcess preview(hostPath(), args, dir.path());
    ASSERT_TRUE(preview.waitForPort(port)) << preview.err();
    auto r = fetch(port, "/?path=/index.tm");
    ASSERT_TRUE(r);
    const std::vector<Column> grid = columns(r->body);
    ASSERT_EQ(grid.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      SCOPED_TRACE(grid[i].label);
      EXPECT_NE(grid[i].frame.find(c.frame), std::string::npos);
      // Every carrier emoji of the page is in the example table.
      EXPECT_EQ(grid[i].frame.find("<span class=\"vt-unknown\""), std::string::npos);
      EXPECT_EQ(grid[i].frame.find("<img class=\"vt-emoji\"") != std::string::npos, i < 3);
      EXPECT_NE(grid[i].warnings.find(c.warning), std::string::npos) << grid[i].warnings;
      EXPECT_EQ(grid[i].warnings.empty(), !*c.warning);
    }
    preview.signal(SIGTERM);
    EXPECT_EQ(preview.wait(std::chrono::seconds(10)), 0);
  }
}

// Arguments the command refuses, each with its reason (besides --root .).
const std::pair<std::vector<std::string>, const char*> kRefused[] = {
    {{"--upstream", "http://127.0.0.1:1"}, "give either --root DIR or --upstream"},
    {{"--ua", "no label"}, "--ua needs LABEL=USER-AGENT"},
    {{"--max-bytes", "PC=lots"}, "--max-bytes needs a size"},
    {{"--max-bytes", "Nokia=1k"}, "no column is labelled 'Nokia'"},
    {{"--pictures", "/nonexistent"}, "/nonexistent is no directory"},
    {{"--listen", "nowhere"}, "--listen needs ADDR:PORT"},
    {{"--mime", "tm=text/x-telmark"}, "--mime needs .EXT=TYPE"},
};

TEST(PreviewArgumentsTest, RefusedWithTheReasonOrHelped) {
  CommandResult help = runProgram(hostPath(), {"preview", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vantomer preview", 0), 0u) << help.out << help.err;
  for (const auto& [extra, reason] : kRefused) {
    SCOPED_TRACE(reason);
    std::vector<std::string> args = {"preview", "--module", modulePath(), "--root", "."};
    args.insert(args.end(), extra.begin(), extra.end());
    CommandResult r = runProgram(hostPath(), args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace vantomer::test
