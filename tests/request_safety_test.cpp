// What a client can make of the key mark and of the headers the filter
// hands back, against both hosts: the root and the server's own rules hold,
// every request header reaches the application whole, and a held page is
// never sent raw (HEAD, subrequests).

#include <gtest/gtest.h>

#include "support/both_hosts.h"

namespace vantomer::test {
namespace {

using After = TestUpstream::After;

const std::string kDenyRules =
    "    location /admin/ { deny all; }\n    location ~ \\.php$ { deny all; }\n";

void writeRoot(const ServerDir& dir) {
  dir.write("www/a.txt", "inside");
  dir.write("www/admin/secret.txt", "SECRET");
  dir.write("www/config.php", "<?php SOURCE ?>");
  dir.write("www/page.tm", kPage);
  dir.write("outside.txt", "OUTSIDE");
}

TEST(BothHosts, AUrlWithoutItsKeyMarkStaysInTheRootAndUnderTheRules) {
  const auto sites = bothHosts(writeRoot, "", modulePath(), kDenyRules);
  REQUIRE_RUNNING(sites);
  // sameAs: the URL whose answer the marked one must get; empty: 400 or 404.
  const struct {
    std::string url;
    std::string sameAs;
  } cases[] = {
      {"/(=?=)/../outside.txt", ""},
      {"/(=?=)/../../../../../../../../etc/passwd", ""},
      {"/(==)/../outside.txt", ""},
      {"/(==)%2e%2e/outside.txt", ""},
      {"/(==)/%2E%2e%2Foutside.txt", ""},
      {"/(==)/..\\outside.txt", ""},
      {"/(=x/=)../outside.txt", ""},
      {"/config.php(=?=)%00.txt", ""},
      {"/config.php(==)%00", ""},
      {"/(==)/admin/secret.txt", "/admin/secret.txt"},
      {"/adm(==)in/secret.txt", "/admin/secret.txt"},
      {"/config.php(==)", "/config.php"},
      {"/(==)/a.txt", "/a.txt"},
      {"/a.txt?(==)/../../outside.txt", "/a.txt"},
  };
  for (const auto& site : sites) {
    for (const auto& c : cases) {
      const std::string what = site->name() + " " + c.url;
      auto response = fetch(site->port(), c.url, {{"User-Agent", kIMode}});
      ASSERT_TRUE(response) << what << logOf(*site);
      for (const char* leak : {"OUTSIDE", "root:"})
        EXPECT_FALSE(contains(response->body, leak)) << what;
      if (c.sameAs.empty()) {
        EXPECT_TRUE(response->status == 400 || response->status == 404)
            << what << ": " << response->status;
      } else {
        auto plain = fetch(site->port(), c.sameAs, {{"User-Agent", kIMode}});
        ASSERT_TRUE(plain) << what;
        EXPECT_EQ(response->status, plain->status) << what;
        EXPECT_EQ(response->body, plain->body) << what;
      }
    }
  }
}

// The upstream answers with the header lines it received.
std::string echoHeaders(const UpstreamRequest& r) {
  std::string lines = r.url + "\n";
  for (const auto& [name, value] : r.headers) lines += name + ": " + value + "\n";
  return lines;
}

TEST(BothHosts, EveryRequestHeaderReachesTheApplicationBesideTheKey) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url == "/login")
      TestUpstream::write(fd, loginPage());
    else if (r.url == "/page.tm")
      TestUpstream::write(fd, TestUpstream::response(200, kPageType, kPage));
    else
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain", echoHeaders(r)));
    return After::KeepOpen;
  });
  // nginx also answers what its $http_ variables read.
  const std::string variables =
      " X-Forwarded-For Cookie Referer Via X-Real-IP If-None-Match Accept-Language Authorization ";
  const std::string seen =
      "    underscores_in_headers on;\n    add_header X-Seen "
      "\"$http_x_forwarded_for|$http_cookie|$http_referer|$http_via|$http_x_real_ip|"
      "$http_if_none_match|$http_accept_language|$http_authorization\" always;\n";
  const auto sites = bothHosts([](const ServerDir&) {}, upstreamUrl(upstream), modulePath(), seen);
  REQUIRE_RUNNING(sites);
  const std::vector<Fields> cases = {
      {{"X-Forwarded-For", "10.0.0.1"}},
      {{"X-Forwarded-For", "10.0.0.1"}, {"X-Forwarded-For", "10.0.0.2"}},
      {{"Cookie", "own=1"}},
      {{"Cookie", "a=1"}, {"Cookie", "b=2"}},
      {{"Referer", "http://example.jp/"}},
      {{"Via", "1.1 proxy"}},
      {{"X-Real-IP", "10.0.0.9"}},
      {{"If-None-Match", "\"e1\""}},
      {{"Accept-Language", "ja"}},
      {{"Authorization", "Basic dTpw"}},
      {{"Accept", "text/html"}, {"Date", "Thu, 01 Jan 1970 00:00:00 GMT"}},
  };
  for (const auto& site : sites) {
    const bool nginx = site->name() == "nginx";
    auto login = fetch(site->port(), "/login", {{"User-Agent", kIMode}});
    ASSERT_TRUE(login) << site->name();
    const std::size_t start = login->body.find("/member/(=");
    ASSERT_NE(start, std::string::npos) << site->name() << ": " << login->body;
    const std::string link = login->body.substr(start, login->body.find('"', start) - start);
    for (const Fields& sent : cases) {
      // With a key header of the client's, and with a key in the URL.
      for (const std::string& url : {std::string("/echo"), link}) {
        Fields headers = sent;
        headers.push_back({"User-Agent", kIMode});
        if (url == "/echo") headers.push_back({"X-Cookie-Stock-Key", "spoofed"});
        const std::string what = site->name() + " " + url + " " + sent[0].first;
        auto response = fetch(site->port(), url, headers);
        ASSERT_TRUE(response) << what << logOf(*site);
        EXPECT_EQ(response->status, 200) << what;
        EXPECT_FALSE(contains(response->body, "spoofed")) << what << ": " << response->body;
        for (const auto& [name, value] : sent) {
          if (name == "Cookie" && url != "/echo") continue;  // the stock's cookies join in
          // A proxy may join repeated fields: the value is what must arrive.
          EXPECT_TRUE(contains(response->body, value)) << what << response->body;
          if (nginx && contains(variables, " " + name + " ")) {
            EXPECT_TRUE(contains(response->header("X-Seen").value_or(""), value)) << what;
          }
        }
        if (url != "/echo") {
          EXPECT_TRUE(contains(response->body, "session=s3cret")) << what;
        }
      }
    }
    // A key header in another spelling chooses no key either.
    for (const char* name : {"X-Cookie_Stock-Key", "x-cookie-stock-key", "X_COOKIE_STOCK_KEY"}) {
      auto page = fetch(site->port(), "/page.tm", {{"User-Agent", kIMode}, {name, "CHOSEN"}});
      ASSERT_TRUE(page) << site->name() << " " << name;
      EXPECT_FALSE(contains(page->body, "CHOSEN")) << site->name() << " " << name;
      auto echo = fetch(site->port(), "/echo", {{"User-Agent", kIMode}, {name, "CHOSEN"}});
      ASSERT_TRUE(echo) << site->name() << " " << name;
      EXPECT_FALSE(contains(echo->body, "CHOSEN")) << site->name() << " " << name;
    }
  }
}

TEST(BothHosts, HeadOfAHeldPageIsTheHeadOfItsGet) {
  const auto sites = bothHosts(writeRoot, "");
  REQUIRE_RUNNING(sites);
  for (const auto& site : sites) {
    auto get = fetch(site->port(), "/page.tm", {{"User-Agent", kIMode}});
    HttpConnection connection(site->port());
    ASSERT_TRUE(connection.send(requestText("HEAD", "/page.tm", {{"User-Agent", kIMode}})));
    auto head = connection.read(true);
    ASSERT_TRUE(get && head) << site->name();
    EXPECT_EQ(head->status, 200) << site->name();
    EXPECT_EQ(head->header("Content-Type"), kSjisType) << site->name();
    EXPECT_EQ(head->header("Content-Length"), std::to_string(get->body.size())) << site->name();
    EXPECT_FALSE(head->header("Accept-Ranges")) << site->name();
    EXPECT_TRUE(head->body.empty()) << site->name();
  }
}

TEST(NginxModule, PageIncludedBySsiIsConvertedForTheHandset) {
  REQUIRE_NGINX();
  NginxSite nginx(
      [](const ServerDir& dir) {
        dir.write("www/page.tm", kPage);
        dir.write("www/outer.html",
                  "<p>before</p><!--# include virtual=\"/page.tm\" --><p>after</p>");
      },
      "", modulePath(), "    ssi on;\n");
  ASSERT_TRUE(nginx.started) << nginx.host.errorLog();
  auto response = fetch(nginx.port(), "/outer.html", {{"User-Agent", kIMode}});
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_TRUE(contains(response->body, "<p>before</p>")) << response->body;
  EXPECT_TRUE(contains(response->body, kSjisA)) << response->body;
  EXPECT_FALSE(contains(response->body, "k-emoji")) << response->body;
  EXPECT_TRUE(response->body.ends_with("<p>after</p>")) << response->body;
}

}  // namespace
}  // namespace vantomer::test
