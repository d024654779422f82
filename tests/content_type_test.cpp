#include "http/content_type.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vantomer {
namespace {

using Parameters = std::vector<std::pair<std::string, std::string>>;

struct Case {
  std::string value;
  std::string mediaType;
  Parameters parameters;  // in map order
  std::string formatted;
};

TEST(ContentType, ParseAndFormat) {
  const Case cases[] = {
      {"text/html; charset=Shift_JIS",
       "text/html",
       {{"charset", "Shift_JIS"}},
       "text/html; charset=Shift_JIS"},
      {"text/html;charset=UTF-8", "text/html", {{"charset", "UTF-8"}}, "text/html; charset=UTF-8"},
      // Nothing is trimmed: the name keeps its space, the value its leading one.
      {"text/html; charset = UTF-8",
       "text/html",
       {{"charset ", " UTF-8"}},
       "text/html; charset = UTF-8"},
      {"  TEXT/X-TELMARK ;x=1", "TEXT/X-TELMARK ", {{"x", "1"}}, "TEXT/X-TELMARK ; x=1"},
      // The first of two names equal but for case wins.
      {"a/b; Charset=one; charset=two", "a/b", {{"Charset", "one"}}, "a/b; Charset=one"},
      // Parameters come out ordered by name, ignoring case.
      {"a/b; zeta=1; Beta=2; alpha=3",
       "a/b",
       {{"alpha", "3"}, {"Beta", "2"}, {"zeta", "1"}},
       "a/b; alpha=3; Beta=2; zeta=1"},
      // A name without "=" ends the parameters; a ";" does not end a name.
      {"a/b; x=1; flag; y=2", "a/b", {{"flag; y", "2"}, {"x", "1"}}, "a/b; flag; y=2; x=1"},
      {"a/b; x=1; flag", "a/b", {{"x", "1"}}, "a/b; x=1"},
      {"a/b; q=\"x;y\"", "a/b", {{"q", "\"x"}}, "a/b; q=\"x"},
      {"a/b;", "a/b", {}, "a/b"},
      {"a/b; =v", "a/b", {{"", "v"}}, "a/b; =v"},
      {"", "", {}, ""},
      {std::string("a/b; x=1\0; y=2", 14), "a/b", {{"x", "1"}}, "a/b; x=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ContentType type;
    type.parameters.emplace("stale", "1");
    type.parse(c.value);
    EXPECT_EQ(type.mediaType, c.mediaType);
    EXPECT_EQ(Parameters(type.parameters.begin(), type.parameters.end()), c.parameters);
    EXPECT_EQ(type.format(), c.formatted);
  }
}

}  // namespace
}  // namespace vantomer
