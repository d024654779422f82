#include "http/url_format.h"

#include <gtest/gtest.h>

namespace vantomer {
namespace {

struct ParseCase {
  const char* url;
  int result;
  const char* scheme;
  const char* host;
  const char* path;
  const char* query;
  const char* fragment;
  const char* formatted;  // nullptr: not looked at (result 1)
};

TEST(ParsedUrl, ParseAndFormat) {
  const ParseCase cases[] = {
      {"/a/b.html?x=1#top", 0, "", "", "/a/b.html", "?x=1", "#top", "/a/b.html?x=1#top"},
      {"?x", 0, "", "", "", "?x", "", "?x"},
      {"#f", 0, "", "", "", "", "#f", "#f"},
      {"#f?x", 0, "", "", "", "", "#f?x", "#f?x"},
      {"a/b:c", 0, "", "", "a/b:c", "", "", "a/b:c"},
      {"", 0, "", "", "", "", "", ""},
      {"http://h.example/p/q.html?a=1#z", 0, "http", "h.example", "/p/q.html", "?a=1", "#z",
       "http://h.example/p/q.html?a=1#z"},
      // "?" and "#" do not end the host.
      {"http://h?x=1#f", 0, "http", "h?x=1#f", "", "", "", "http://h?x=1#f"},
      // The two characters after the colon are skipped unseen.
      {"http:xxh/p", 0, "http", "h", "/p", "", "", "http://h/p"},
      {"http:", 0, "http", "", "", "", "", "http://"},
      {"http:/", 0, "http", "", "", "", "", "http://"},
      {"http:/x", 0, "http", "", "", "", "", "http://"},
      {"mailto:a@b", 1, "", "", "", "", "", nullptr},
      {"javascript:void(0)", 1, "", "", "", "", "", nullptr},
      {"HTTP://h/p", 1, "", "", "", "", "", nullptr},
      {":x", 1, "", "", "", "", "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    ParsedUrl url;
    ASSERT_EQ(url.parse(c.url), c.result);
    if (c.result != 0) continue;
    EXPECT_EQ(url.scheme, c.scheme);
    EXPECT_EQ(url.host, c.host);
    EXPECT_EQ(url.path, c.path);
    EXPECT_EQ(url.query, c.query);
    EXPECT_EQ(url.fragment, c.fragment);
    EXPECT_EQ(url.format(), c.formatted);
  }
}

TEST(InsertKeyMark, AfterLastSlashOrAtStart) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/a/b", "/a/[K]b"}, {"/a/", "/a/[K]"}, {"b", "[K]b"},
      {"", "[K]"},         {"/", "/[K]"},     {"a/b/c.html", "a/b/[K]c.html"},
  };
  for (const auto& c : cases) {
    std::string path = c.path;
    insertKeyMark(path, "[K]");
    EXPECT_EQ(path, c.expected) << c.path;
  }
}

}  // namespace
}  // namespace vantomer
