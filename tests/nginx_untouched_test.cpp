// nginx with the filter on answers every response the filter does not hold
// exactly as nginx with the filter off: ranges, conditional requests, gzip
// after the filter, error_page, redirects of its own.

#include <gtest/gtest.h>

#include <regex>

#include "support/both_hosts.h"

namespace vantomer::test {
namespace {

// Multipart boundaries count up per response.
std::string withoutBoundary(const std::string& text) {
  return std::regex_replace(text, std::regex("[0-9]{20}"), "BOUNDARY");
}

std::string sameSite(const std::string& root) {
  return "    root " + root +
         ";\n    types { text/plain txt; text/html html; text/css css; }\n"
         "    gzip on;\n    gzip_min_length 1;\n    gzip_types text/plain;\n"
         "    error_page 404 /notfound.html;\n    location /old { return 301 /a.txt; }\n";
}

TEST(NginxModule, ResponsesTheFilterDoesNotHoldAreNginxsOwn) {
  REQUIRE_NGINX();
  NginxHost host(modulePath(), exampleSettings(), exampleEmoji());
  std::string text;
  for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i) + "\n";
  host.dir.write("www/a.txt", text);
  host.dir.write("www/notfound.html", "<p>not here</p>");
  host.dir.write("www/s.css", "p{}");
  const std::string root = host.dir.file("www");
  const unsigned offPort = freePort();
  const std::string off = "  server {\n    listen 127.0.0.1:" + std::to_string(offPort) +
                          ";\n    vantomer_filter off;\n" + sameSite(root) + "  }\n";
  ASSERT_TRUE(host.start(host.configuration(sameSite(root), off))) << host.errorLog();

  auto lastModified = fetch(offPort, "/a.txt")->header("Last-Modified").value_or("");
  auto etag = fetch(offPort, "/a.txt")->header("ETag").value_or("");
  const struct {
    std::string url;
    Fields fields;
  } cases[] = {
      {"/a.txt", {}},
      {"/a.txt", {{"Range", "bytes=10-29"}}},
      {"/a.txt", {{"Range", "bytes=0-4,100-104"}}},
      {"/a.txt", {{"Range", "bytes=99999-"}}},
      {"/a.txt", {{"If-Modified-Since", lastModified}}},
      {"/a.txt", {{"If-None-Match", etag}}},
      {"/a.txt", {{"If-Range", etag}, {"Range", "bytes=5-9"}}},
      {"/a.txt", {{"Accept-Encoding", "gzip"}}},
      {"/s.css", {{"Accept-Encoding", "gzip"}}},
      {"/missing", {}},
      {"/old", {}},
  };
  for (const auto& c : cases) {
    Fields fields = c.fields;
    fields.push_back({"User-Agent", kIMode});
    const std::string what = c.url + " " + (c.fields.empty() ? "" : c.fields[0].first);
    auto on = fetch(host.port, c.url, fields);
    auto plain = fetch(offPort, c.url, fields);
    ASSERT_TRUE(on && plain) << what;
    EXPECT_EQ(on->status, plain->status) << what;
    EXPECT_EQ(withoutBoundary(on->body), withoutBoundary(plain->body)) << what;
    for (const char* name : {"Content-Type", "Content-Length", "Content-Encoding", "Content-Range",
                             "Last-Modified", "ETag", "Accept-Ranges", "Location"}) {
      std::string expected = plain->header(name).value_or("-");
      // A redirect names the server's own port.
      const std::size_t port = expected.find(":" + std::to_string(offPort));
      if (port != std::string::npos)
        expected.replace(port + 1, std::to_string(offPort).size(), std::to_string(host.port));
      EXPECT_EQ(withoutBoundary(on->header(name).value_or("-")), withoutBoundary(expected))
          << what << " " << name;
    }
  }
}

// A send buffer far smaller than the page: nginx writes the converted page
// in many rounds, each resumed by the writer through the filters.
TEST(NginxModule, HeldPageLargerThanTheSendBufferReachesTheClientWhole) {
  REQUIRE_NGINX();
  NginxHost host(modulePath(), exampleSettings(), exampleEmoji());
  std::string page = "<html><body>";
  for (int i = 0; i < 8000; ++i) page += "<p>line " + std::to_string(i) + " あ</p>";
  host.dir.write("www/big.tm", page + "<p>end</p></body></html>");
  const unsigned port = freePort();
  const std::string small = "  server {\n    listen 127.0.0.1:" + std::to_string(port) +
                            " sndbuf=4096;\n    root " + host.dir.file("www") +
                            ";\n    types { \"" + kPageType + "\" tm; }\n  }\n";
  ASSERT_TRUE(host.start(host.configuration("", small))) << host.errorLog();
  auto response = fetch(port, "/big.tm", {{"User-Agent", kIMode}});
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(response->header("Content-Length"), std::to_string(response->body.size()));
  EXPECT_TRUE(contains(response->body, "<p>end</p>")) << response->body.size();
}

}  // namespace
}  // namespace vantomer::test
