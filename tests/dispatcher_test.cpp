// The notification dispatcher, driven through the real module's exports.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_host.h"

namespace vantomer::test {
namespace {

const std::string kPage = "<html><body><p>x</p></body></html>";

std::string defaultSettings() { return settingsFile(profileElement(".*")); }

// Whether the filter took the response over instead of passing it on.
bool converted(const Exchange& exchange, std::string_view app) {
  return exchange.clientBytes != app;
}

TEST(RequestHeaders, KeyMarkIsCutOutOfTheUrl) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const std::string longUrl = "/" + std::string(1100, 'p') + "(=k=)";
  const std::pair<std::string, std::string> cases[] = {
      {"/shop/(=abc=)/list.asp", "/shop//list.asp"},
      {"/a.asp?x=1(=KEY=)", "/a.asp?x=1"},
      {"/a/(==)/b", "/a//b"},
      {"/(=k1=)/(=k2=)", "//(=k2=)"},
      {"/a/(=b", "/a/(=b"},
      {"/a/b=)/c", "/a/b=)/c"},
      {"/x=)/(=k=)", "/x=)/(=k=)"},
      // Overlapping marks: empty key, both marks cut.
      {"/a(=)b", "/ab"},
      {"/p(=)", "/p"},
      // A URL the 1024-byte buffer cannot hold is left alone.
      {longUrl, longUrl},
  };
  for (const auto& [received, passedOn] : cases) {
    SCOPED_TRACE(received.substr(0, 40));
    Request request;
    request.url = received;
    const Exchange exchange = connection.run(request, appResponse("x", "text/plain"));
    EXPECT_EQ(exchange.url, passedOn);
    // None of these keys names a stock.
    EXPECT_EQ(exchange.requestHeader("X-Cookie-Stock-Key"), std::nullopt);
    EXPECT_TRUE(exchange.allNextNotification());
  }
}

TEST(RequestHeaders, ConfiguredMarks) {
  FilterModule module(
      settingsFile("<CookiePaddingMarkL>[[</CookiePaddingMarkL>"
                   "<CookiePaddingMarkR>]]</CookiePaddingMarkR>" +
                   profileElement(".*")));
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const std::pair<std::string, std::string> cases[] = {
      {"/a/[[k]]/b", "/a//b"},
      {"/a/(=k=)/b", "/a/(=k=)/b"},
  };
  for (const auto& [received, passedOn] : cases) {
    Request request;
    request.url = received;
    EXPECT_EQ(connection.run(request, appResponse("x", "text/plain")).url, passedOn);
  }
}

TEST(RequestHeaders, StockedCookiesComeBackWithTheKey) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);

  const Exchange login =
      connection.run(Request().userAgent("Handset/1.0"),
                     appResponse("<html><body><a href=\"/next.asp\">n</a></body></html>",
                                 "text/x-telmark", "Set-Cookie: sid=42\r\n"));
  const std::string key = keyIn(login.response.body);
  ASSERT_FALSE(key.empty()) << login.clientBytes;

  Request next;
  next.url = "/shop/(=" + key + "=)/list.asp";
  next.userAgent("Handset/1.0");
  const Exchange restored = connection.run(next, appResponse("x", "text/plain"));
  EXPECT_EQ(restored.url, "/shop//list.asp");
  EXPECT_EQ(restored.requestHeader("X-Cookie-Stock-Key"), key);
  ASSERT_TRUE(restored.requestHeader("Cookie").has_value());
  EXPECT_NE(restored.requestHeader("Cookie")->find("sid=42"), std::string::npos);

  // The stock belongs to the handset that made it.
  Request other = next;
  other.headers.clear();
  other.userAgent("Other/2.0");
  const Exchange refused = connection.run(other, appResponse("x", "text/plain"));
  EXPECT_EQ(refused.url, "/shop//list.asp");
  EXPECT_EQ(refused.requestHeader("X-Cookie-Stock-Key"), std::nullopt);
  EXPECT_EQ(refused.requestHeader("Cookie"), std::nullopt);
}

struct MediaCase {
  std::string contentType;
  bool held;
};

TEST(ResponseHeaders, HeldByMediaTypeAlone) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const std::string prefix = "text/x-telmark; x=";
  const MediaCase cases[] = {
      {"text/x-telmark", true},
      {"TEXT/X-TELMARK; charset=UTF-8", true},
      {"text/x-telmark;charset=Shift_JIS", true},
      {"text/x-telmark2", false},
      {"text/html", false},
      {"text/x-telmark ;charset=UTF-8", false},
      {"", false},
      // The value and its NUL must fit 1024 bytes.
      {prefix + std::string(1023 - prefix.size(), 'a'), true},
      {prefix + std::string(1024 - prefix.size(), 'a'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.contentType.substr(0, 40));
    const std::string app = appResponse(kPage, c.contentType);
    const Exchange exchange = connection.run(Request(), app);
    EXPECT_EQ(converted(exchange, app), c.held);
    if (c.held) {
      EXPECT_EQ(exchange.response.statusCode(), 200);
    }
    EXPECT_EQ(exchange.filterContextAfter, nullptr);
    EXPECT_TRUE(exchange.allNextNotification());
  }
}

TEST(ResponseHeaders, ConfiguredInputContentType) {
  FilterModule module(settingsFile(
      "<InputCoordinator><ContentType>application/x-tm</ContentType></InputCoordinator>" +
      profileElement(".*")));
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const std::string tm = appResponse(kPage, "Application/X-TM");
  const std::string telmark = appResponse(kPage, "text/x-telmark");
  EXPECT_TRUE(converted(connection.run(Request(), tm), tm));
  EXPECT_FALSE(converted(connection.run(Request(), telmark), telmark));
}

TEST(ResponseHeaders, NoHostMemoryLetsTheResponseThrough) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  connection.failAllocMem = true;
  const std::string app = appResponse(kPage);
  const Exchange exchange = connection.run(Request(), app);
  EXPECT_EQ(exchange.clientBytes, app);
  EXPECT_EQ(exchange.filterContextAfter, nullptr);
}

struct ProfileCase {
  std::optional<std::string> userAgent;
  std::string contentType;  // of the chosen profile, or "" for none
};

TEST(ProfileSelection, FirstWholeMatchWins) {
  auto profile = [](const char* pattern, const char* type) {
    return profileElement(pattern, std::string("<ContentType>") + type + "</ContentType>");
  };
  FilterModule module(settingsFile(profile("[", "text/invalid") + profile("abc", "text/exact") +
                                   profile("abc.*", "text/prefix") +
                                   profile("DoCoMo/.*", "text/docomo") +
                                   profile("(a*)*b", "text/runaway") + profile("a+", "text/as")));
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const ProfileCase cases[] = {
      {"abc", "text/exact"},
      {"abcd", "text/prefix"},
      {"xabc", ""},
      {"DoCoMo/2.0 P903i", "text/docomo"},
      {"docomo/2.0", ""},
      {"[", ""},
      {std::nullopt, ""},
      // The runaway pattern gives up; the next profile still gets its turn.
      {std::string(40, 'a'), "text/as"},
  };
  for (int round = 0; round < 2; ++round) {  // the second round uses kept patterns
    for (const auto& c : cases) {
      SCOPED_TRACE(c.userAgent.value_or("(none)"));
      Request request;
      if (c.userAgent) request.userAgent(*c.userAgent);
      const Exchange exchange = connection.run(request, appResponse(kPage, "text/x-telmark"));
      EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
      if (c.contentType.empty()) {
        EXPECT_EQ(exchange.response.statusCode(), 500);
      } else {
        EXPECT_EQ(exchange.response.statusCode(), 200);
        EXPECT_EQ(exchange.response.header("Content-Type"), c.contentType);
      }
    }
  }
}

TEST(ProfileSelection, NoProfileGivesTheErrorResponse) {
  const std::optional<std::string> settings[] = {
      std::nullopt,
      settingsFile(profileElement("Nothing/.*")),
  };
  for (const auto& file : settings) {
    FilterModule module(file);
    ASSERT_TRUE(module.loaded());
    Connection connection(module);
    const Exchange exchange =
        connection.run(Request().userAgent("Handset/1.0"),
                       appResponse(kPage, "text/x-telmark; charset=UTF-8", "X-App: kept\r\n"));
    EXPECT_EQ(exchange.response.statusLine, "HTTP/1.1 500 Internal Server Error");
    EXPECT_EQ(exchange.response.body, "Unspecified error\r\n");
    EXPECT_EQ(exchange.response.header("Content-Length"), "19");
    EXPECT_EQ(exchange.response.header("Content-Type"), "text/plain");
    EXPECT_EQ(exchange.response.header("X-App"), "kept");
    EXPECT_EQ(exchange.writes.size(), 2u);
  }
}

TEST(EndOfRequest, ChangesMadeBeforeAFailureStayInTheErrorResponse) {
  // Location correction runs, then serialisation fails on the code page.
  FilterModule module(settingsFile(profileElement(".*", "<CodePage>12345</CodePage>")));
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  Request request;
  request.url = "/dir/page.asp";
  const Exchange exchange =
      connection.run(request, appResponse(kPage, "text/x-telmark", "Location: next.asp\r\n"));
  EXPECT_EQ(exchange.response.statusCode(), 500);
  EXPECT_EQ(exchange.response.header("Location"), "http://example.com/dir/next.asp");
  EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
}

TEST(EndOfRequest, StatusOfTheHeldResponsePlaysNoPart) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const Exchange exchange = connection.run(
      Request(), "HTTP/1.1 302 Found\r\nContent-Type: text/x-telmark\r\nLocation: /x\r\n\r\n");
  EXPECT_EQ(exchange.response.statusLine, "HTTP/1.1 302 Found");
  EXPECT_EQ(exchange.response.header("Content-Type"), "text/html");
  EXPECT_NE(exchange.response.body.find("TELMARK Parse Error occured."), std::string::npos);
  EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
}

TEST(EndOfRequest, BlockSizeMakesNoDifference) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  std::string body = "<html><body>";
  for (int i = 0; i < 100; ++i) body += "<p>line " + std::to_string(i) + "</p>";
  body += "</body></html>";
  char size[16];
  std::snprintf(size, sizeof size, "%zx", body.size());
  const std::string app =
      "HTTP/1.1 200 OK\r\nContent-Type: text/x-telmark; charset=UTF-8\r\n"
      "Transfer-Encoding: chunked\r\n\r\n" +
      std::string(size) + "\r\n" + body + "\r\n0\r\n\r\n";

  const Exchange whole = connection.run(Request(), app, 4096);
  ASSERT_TRUE(isOneCompleteResponse(whole.clientBytes));
  EXPECT_EQ(whole.response.statusCode(), 200);
  EXPECT_EQ(whole.response.header("Transfer-Encoding"), std::nullopt);
  for (std::size_t blockSize : {1u, 7u}) {
    SCOPED_TRACE(blockSize);
    EXPECT_EQ(connection.run(Request(), app, blockSize).clientBytes, whole.clientBytes);
  }
}

TEST(EndOfRequest, SeveralRequestsOnOneConnection) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const std::string held = appResponse(kPage);
  const std::string plain = appResponse("<p>plain</p>", "text/html");
  const std::string* sequence[] = {&held, &plain, &held, &plain, &plain, &held};
  for (const std::string* app : sequence) {
    const Exchange exchange = connection.run(Request(), *app);
    EXPECT_EQ(converted(exchange, *app), app == &held);
    EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
    EXPECT_EQ(exchange.filterContextAfter, nullptr);
    EXPECT_TRUE(exchange.allNextNotification());
  }
}

struct BadInput {
  const char* name;
  std::string app;
  int statusCode;
};

std::vector<BadInput> badInputs() {
  std::string nested;
  for (int i = 0; i < 30000; ++i) nested += "<div>";
  for (int i = 0; i < 30000; ++i) nested += "</div>";
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/x-telmark; charset=UTF-8\r\n";
  const std::string sjisHead =
      "HTTP/1.1 200 OK\r\nContent-Type: text/x-telmark; charset=Shift_JIS\r\n";
  const std::string chunked = head + "Transfer-Encoding: chunked\r\n\r\n";
  return {
      {"truncated status line", "HTTP/1.1 20", 500},
      {"overlong status line", "HTTP/1.1 200 " + std::string(3000, 'r') + "\r\n\r\n" + kPage, 200},
      {"overlong header line", head + "X-Long: " + std::string(3000, 'v') + "\r\n\r\n" + kPage,
       200},
      {"truncated header block", "HTTP/1.1 200 OK\r\nContent-Type: text/x-tel", 200},
      {"chunk longer than the data", chunked + "FFFF\r\n" + kPage, 200},
      {"chunk size saturating", chunked + "FFFFFFFFFF\r\n" + kPage + "\r\n0\r\n\r\n", 200},
      {"negative chunk size", chunked + "-10\r\n" + kPage + "\r\n0\r\n\r\n", 200},
      {"no chunk size line", chunked, 200},
      {"NUL bytes in the body",
       head + "\r\n<html><body>a" + std::string(1, '\0') + "b</body></html>", 200},
      {"invalid UTF-8", head + "\r\n<html><body>\xff\xfe\xc3</body></html>", 200},
      {"invalid Shift_JIS", sjisHead + "\r\n<html><body>\x81\x20\xff\xa0</body></html>", 200},
      {"malformed markup", head + "\r\n<html><body><p>open</body>", 200},
      {"deep nesting", head + "\r\n<html><body>" + nested + "</body></html>", 200},
      {"DOCTYPE in the body", head + "\r\n<!DOCTYPE html><html><body/></html>", 200},
      {"XML declaration in the body", head + "\r\n<?xml version=\"1.0\"?><html/>", 200},
      {"entity the DOCTYPE lacks", head + "\r\n<html><body>&unknown;</body></html>", 200},
      {"only an interim response", "HTTP/1.1 100 Continue\r\n\r\n", 500},
      {"no status line at all", "garbage", 500},
  };
}

TEST(EndOfRequest, BadInputGivesExactlyOneResponse) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  for (const auto& c : badInputs()) {
    SCOPED_TRACE(c.name);
    Request request;
    request.responseContentType = "text/x-telmark; charset=UTF-8";
    const Exchange exchange = connection.run(request, c.app, 1000);
    EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
    EXPECT_EQ(exchange.response.statusCode(), c.statusCode);
    EXPECT_EQ(exchange.clientBytes.rfind("HTTP/1.1 ", 0), 0u);
    EXPECT_EQ(exchange.writes.size(), 2u);
    EXPECT_EQ(exchange.filterContextAfter, nullptr);
    EXPECT_TRUE(exchange.allNextNotification());
  }
}

TEST(EndOfRequest, UnknownCodePageGivesTheErrorResponse) {
  FilterModule module(settingsFile(profileElement(".*", "<CodePage>-7</CodePage>")));
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const Exchange exchange = connection.run(Request(), appResponse(kPage));
  EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
  EXPECT_EQ(exchange.response.statusCode(), 500);
}

TEST(Dispatcher, IgnoresWhatItDoesNotHandle) {
  FilterModule module(defaultSettings());
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const DWORD types[] = {SF_NOTIFY_PREPROC_HEADERS,
                         SF_NOTIFY_SEND_RESPONSE,
                         SF_NOTIFY_SEND_RAW_DATA,
                         SF_NOTIFY_END_OF_REQUEST,
                         SF_NOTIFY_LOG,
                         SF_NOTIFY_URL_MAP,
                         0,
                         0xFFFFFFFFu};
  for (DWORD type : types) {
    SCOPED_TRACE(type);
    EXPECT_EQ(module.httpFilterProc(&connection.context(), type, nullptr),
              DWORD{SF_STATUS_REQ_NEXT_NOTIFICATION});
    EXPECT_EQ(module.httpFilterProc(nullptr, type, nullptr),
              DWORD{SF_STATUS_REQ_NEXT_NOTIFICATION});
  }
  EXPECT_EQ(connection.filterContext(), nullptr);
  // The connection still works afterwards.
  EXPECT_EQ(connection.run(Request(), appResponse(kPage)).response.statusCode(), 200);
}

TEST(Dispatcher, ConnectionsOnManyThreads) {
  FilterModule module(settingsFile(profileElement("A/.*", "<ContentType>text/a</ContentType>") +
                                   profileElement(".*")));
  ASSERT_TRUE(module.loaded());
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      Connection connection(module);
      for (int i = 0; i < 40; ++i) {
        const bool a = (i + t) % 2 == 0;
        const Exchange exchange = connection.run(Request().userAgent(a ? "A/1" : "B/1"),
                                                 appResponse(kPage, "text/x-telmark"), 16);
        if (exchange.response.header("Content-Type") != (a ? "text/a" : "text/html") ||
            !isOneCompleteResponse(exchange.clientBytes))
          ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace vantomer::test
