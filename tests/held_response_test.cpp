#include "http/held_response.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vantomer {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

Headers listOf(const HeaderMap& map) { return Headers(map.begin(), map.end()); }

struct LineCase {
  const char* name;
  std::string data;
  std::size_t capacity;
  std::vector<std::string> lines;  // successive reads
  bool failedAfter;
};

TEST(ReadHeldLine, EndsAtCrAndFailsOnFullBuffer) {
  const LineCase cases[] = {
      {"crlf lines", "ab\r\ncd", 4, {"ab", "cd", ""}, true},
      {"exactly capacity-1 bytes", "abc\r\nd", 4, {"abc", "d"}, false},
      {"buffer full", "abcd\r\nef", 4, {"abc", "", ""}, true},
      {"empty lines", "\r\n\r\n", 4, {"", ""}, false},
      {"byte after CR discarded", "a\rbc\r\n", 8, {"a", "c"}, false},
      {"lone LF is data", "a\nb\r\n", 8, {"a\nb"}, false},
      {"no data", "", 8, {""}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HeldStream stream{c.data};
    for (const auto& expected : c.lines) EXPECT_EQ(readHeldLine(stream, c.capacity), expected);
    EXPECT_EQ(stream.failed, c.failedAfter);
  }
}

struct StatusCase {
  std::string line;
  std::string version;
  int32_t statusCode;
  std::string reason;
};

TEST(ParseStatusLine, SplitsVersionCodeAndReason) {
  const StatusCase cases[] = {
      {"HTTP/1.1 404 Not Found", "HTTP/1.1", 404, "Not Found"},
      {"  HTTP/1.0 301 Moved Permanently", "HTTP/1.0", 301, "Moved Permanently"},
      {"HTTP/1.1 200 ", "HTTP/1.1", 200, ""},
      {"HTTP/1.1 200", "HTTP/1.1", 200, "(kept)"},
      {"HTTP/1.1", "HTTP/1.1", -1, "(kept)"},
      {"HTTP/1.1 abc Reason", "HTTP/1.1", 0, "Reason"},
      {"HTTP/1.1  200 OK", "HTTP/1.1", 200, "200 OK"},
      {std::string("HTTP/1.1 200 O\0K", 16), "HTTP/1.1", 200, "O"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    HeldResponse response;
    response.statusCode = -1;
    response.reasonPhrase = "(kept)";
    parseStatusLine(c.line, response);
    EXPECT_EQ(response.version, c.version);
    EXPECT_EQ(response.statusCode, c.statusCode);
    EXPECT_EQ(response.reasonPhrase, c.reason);
  }
}

TEST(ParseHeaderLine, SplitsAtFirstColon) {
  const std::pair<std::string, Headers> cases[] = {
      {"X-Note:a:b", {{"X-Note", "a:b"}}},
      {"  Name  :   v  ", {{"Name  ", "v  "}}},
      {"Empty:", {{"Empty", ""}}},
      {"NoColon", {}},
      {"", {}},
  };
  for (const auto& [line, expected] : cases) {
    SCOPED_TRACE(line);
    HeldResponse response;
    parseHeaderLine(line, response);
    EXPECT_EQ(listOf(response.headers), expected);
  }
}

struct ParseCase {
  const char* name;
  std::string captured;
  int32_t statusCode;
  std::string reason;
  Headers headers;  // in map order
  std::string body;
};

std::vector<ParseCase> parseCases() {
  const std::string longHeader = "X-Long: " + std::string(2000, 'a');
  const std::string header1023 = "X-Long: " + std::string(1015, 'a');
  const std::string chunkExt = std::string(253, 'x');
  return {
      {"interim response skipped",
       "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 200 OK\r\nContent-Type: "
       "a\r\n\r\nbody",
       200,
       "OK",
       {{"Content-Type", "a"}},
       "body"},
      {"several interim responses",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 404 Not "
       "Found\r\n\r\nx",
       404,
       "Not Found",
       {},
       "x"},
      {"data ends during interim responses",
       "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n",
       100,
       "Continue",
       {{"X-Interim", "1"}},
       ""},
      {"garbage after an interim response",
       "HTTP/1.1 100 Continue\r\n\r\nxyz",
       100,
       "Continue",
       {},
       ""},
      {"interim response ending in a long line",
       "HTTP/1.1 100 Continue\r\nX: " + std::string(1100, 'a'),
       100,
       "Continue",
       {{"X", std::string(1100, 'a')}},
       ""},
      {"plain body ignores Content-Length",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello",
       200,
       "OK",
       {{"Content-Length", "2"}},
       "hello"},
      {"body keeps NUL and CR bytes",
       std::string("HTTP/1.1 200 OK\r\n\r\na\0b\r\nc", 25),
       200,
       "OK",
       {},
       std::string("a\0b\r\nc", 6)},
      {"chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
       200,
       "OK",
       {},
       "hello"},
      {"chunk extension and trailer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n1A;name=value\r\n"
       "abcdefghijklmnopqrstuvwxyz\r\n0x3\r\nABC\r\n0\r\nX-Trailer: t\r\n\r\n",
       200,
       "OK",
       {},
       "abcdefghijklmnopqrstuvwxyzABC"},
      {"other transfer coding left alone",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
       200,
       "OK",
       {{"Transfer-Encoding", "gzip, chunked"}},
       "5\r\nhello\r\n0\r\n\r\n"},
      {"chunk longer than the data",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7FFFFFFF\r\nabc",
       200,
       "OK",
       {},
       "abc"},
      {"negative chunk size ends the body",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n-5\r\nabc\r\n3\r\nxyz\r\n",
       200,
       "OK",
       {},
       ""},
      {"chunk-size line of 255 bytes",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;" + chunkExt +
           "\r\nhello\r\n0\r\n\r\n",
       200,
       "OK",
       {},
       "hello"},
      {"chunk-size line of 256 bytes",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;" + chunkExt +
           "x\r\nhello\r\n0\r\n\r\n",
       200,
       "OK",
       {},
       ""},
      {"header line of 1023 bytes",
       "HTTP/1.1 200 OK\r\n" + header1023 + "\r\n\r\nbody",
       200,
       "OK",
       {{"X-Long", std::string(1015, 'a')}},
       "body"},
      {"long header line kept with those after it",
       "HTTP/1.1 200 OK\r\nA: 1\r\n" + longHeader + "\r\nB: 2\r\n\r\nbody",
       200,
       "OK",
       {{"A", "1"}, {"B", "2"}, {"X-Long", std::string(2000, 'a')}},
       "body"},
      {"long status line",
       "HTTP/1.1 200 " + std::string(2000, 'r') + "\r\nA: 1\r\n\r\nbody",
       200,
       std::string(2000, 'r'),
       {{"A", "1"}},
       "body"},
      {"truncated in the header block",
       "HTTP/1.1 200 OK\r\nContent-Type: te",
       200,
       "OK",
       {{"Content-Type", "te"}},
       ""},
      {"nothing at all", "", 0, "", {}, ""},
  };
}

TEST(ParseHeldResponse, Table) {
  for (const auto& c : parseCases()) {
    SCOPED_TRACE(c.name);
    HeldResponse response;
    ResponseBody body = "stale";
    parseHeldResponse(c.captured, response, body);
    EXPECT_EQ(response.statusCode, c.statusCode);
    EXPECT_EQ(response.reasonPhrase, c.reason);
    EXPECT_EQ(listOf(response.headers), c.headers);
    EXPECT_EQ(body, c.body);
  }
}

struct BoundCase {
  const char* name;
  std::string captured;
  HeadProblem problem;
};

// A header line of n bytes in all.
std::string headerOf(std::size_t n) { return "X-Long: " + std::string(n - 8, 'v') + "\r\n"; }

TEST(ParseHeldResponse, HeadsWithinTheBoundsOrRefused) {
  std::string manyLines;
  while (manyLines.size() <= kHeadLimit) manyLines += headerOf(1000);
  const BoundCase cases[] = {
      {"line of 1024 bytes", "HTTP/1.1 200 OK\r\n" + headerOf(1024) + "\r\nb", HeadProblem::None},
      {"line of 8 KiB", "HTTP/1.1 200 OK\r\n" + headerOf(8192) + "\r\nb", HeadProblem::None},
      {"line at the bound", "HTTP/1.1 200 OK\r\n" + headerOf(kHeadLineLimit) + "\r\nb",
       HeadProblem::None},
      {"line past the bound", "HTTP/1.1 200 OK\r\n" + headerOf(kHeadLineLimit + 1) + "\r\nb",
       HeadProblem::LineTooLong},
      {"status line past the bound",
       "HTTP/1.1 200 " + std::string(kHeadLineLimit, 'r') + "\r\n\r\nb", HeadProblem::LineTooLong},
      {"head past the bound", "HTTP/1.1 200 OK\r\n" + manyLines + "\r\nb",
       HeadProblem::HeadTooLarge},
      {"interim heads count too",
       "HTTP/1.1 100 Continue\r\n" + manyLines + "\r\nHTTP/1.1 200 OK\r\n\r\nb",
       HeadProblem::HeadTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HeldResponse response;
    ResponseBody body;
    EXPECT_EQ(parseHeldResponse(c.captured, response, body), c.problem);
    if (c.problem == HeadProblem::None) {
      // Whole lines, every header, the body after them.
      const std::string head = c.captured.substr(0, c.captured.size() - 1);
      EXPECT_EQ(formatHead(response), head);
      EXPECT_EQ(body, "b");
    } else {
      EXPECT_TRUE(response.headers.empty());
    }
  }
}

// What the two writes of an emitted response carry: the head, then the body.
std::vector<std::string> emitted(HeldResponse& response, const ResponseBody& body) {
  setContentLength(response, body);
  return {formatHead(response), body};
}

struct EmitCase {
  const char* name;
  std::string captured;
  std::vector<std::string> writes;
};

TEST(EmitResponse, HeadThenBodyWithContentLength) {
  const EmitCase cases[] = {
      {"map order, not arrival order",
       "HTTP/1.1 200 OK\r\nServer: s\r\nContent-Type: text/html\r\nSet-Cookie: a=1\r\n"
       "Date: d\r\nSet-Cookie: b=2\r\n\r\nbody",
       {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Type: text/html\r\nDate: d\r\n"
        "Server: s\r\nSet-Cookie: a=1\r\nSet-Cookie: b=2\r\n\r\n",
        "body"}},
      {"existing length replaced under its own name",
       "HTTP/1.0 200 OK\r\ncontent-length: 99\r\n\r\nabc",
       {"HTTP/1.0 200 OK\r\ncontent-length: 3\r\n\r\n", "abc"}},
      {"a second length is dropped",
       "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nX-A: 1\r\ncontent-length: 40\r\n\r\nabcd",
       {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nX-A: 1\r\n\r\n", "abcd"}},
      {"empty body still written",
       "HTTP/1.1 204 No Content\r\n\r\n",
       {"HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n", ""}},
      {"chunked body sent with a length",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
       {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", "hello"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HeldResponse response;
    ResponseBody body;
    parseHeldResponse(c.captured, response, body);
    EXPECT_EQ(emitted(response, body), c.writes);
  }
}

TEST(MakeErrorResponse, KeepsVersionAndHeadersButContentType) {
  const std::pair<std::string, std::string> cases[] = {
      {"HTTP/1.0 302 Found\r\nLocation: /x\r\nContent-Type: text/x-telmark; charset=UTF-8\r\n"
       "Content-Length: 77\r\n\r\n<html/>",
       "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 19\r\nContent-Type: text/plain\r\n"
       "Location: /x\r\n\r\n"},
      // No Content-Type is added where there was none.
      {"HTTP/1.1 200 OK\r\nX-A: 1\r\n\r\nbody",
       "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 19\r\nX-A: 1\r\n\r\n"},
  };
  for (const auto& [captured, head] : cases) {
    HeldResponse response;
    ResponseBody body;
    parseHeldResponse(captured, response, body);
    makeErrorResponse(response, body, E_FAIL);
    EXPECT_EQ(emitted(response, body), (std::vector<std::string>{head, "Unspecified error\r\n"}));
  }
}

}  // namespace
}  // namespace vantomer
