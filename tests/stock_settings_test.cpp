// The settings of the cookie stock: its Redis URL, prefix and timeout, and
// the in-memory stock's byte bound.

#include <gtest/gtest.h>

#include <string>

#include "config/load_settings.h"
#include "config/redis_url.h"
#include "support/telmark.h"

namespace vantomer {
namespace {

TEST(RedisUrl, WellFormedAddresses) {
  const struct {
    const char* url;
    const char* host;
    unsigned port;
    const char* socket;
    const char* user;
    const char* password;
    int32_t database;
    const char* described;
  } cases[] = {
      {"redis://localhost", "localhost", 6379, "", "", "", 0, "localhost:6379"},
      {"redis://127.0.0.1:6380/", "127.0.0.1", 6380, "", "", "", 0, "127.0.0.1:6380"},
      {"redis://:s3cret@10.0.0.5:7000/3", "10.0.0.5", 7000, "", "", "s3cret", 3,
       "10.0.0.5:7000 db 3"},
      {"redis://app:p%40ss%2Fw@h/15", "h", 6379, "", "app", "p@ss/w", 15, "h:6379 db 15"},
      {"redis://[::1]:6390", "::1", 6390, "", "", "", 0, "[::1]:6390"},
      {"unix:///run/redis/redis.sock", "", 6379, "/run/redis/redis.sock", "", "", 0,
       "unix:/run/redis/redis.sock"},
      {"unix://:pw@/tmp/r.sock?db=2", "", 6379, "/tmp/r.sock", "", "pw", 2,
       "unix:/tmp/r.sock db 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    RedisAddress a;
    std::string reason;
    ASSERT_TRUE(parseRedisUrl(c.url, a, reason)) << reason;
    EXPECT_EQ(a.host, c.host);
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.socketPath, c.socket);
    EXPECT_EQ(a.user, c.user);
    EXPECT_EQ(a.password, c.password);
    EXPECT_EQ(a.database, c.database);
    EXPECT_EQ(a.describe(), c.described);
  }
}

TEST(RedisUrl, MalformedAddressesSayWhy) {
  const struct {
    const char* url;
    const char* reason;
  } cases[] = {
      {"localhost:6379", "not a redis:// or unix:// URL"},
      {"http://localhost", "not a redis:// or unix:// URL"},
      {"rediss://h", "TLS"},
      {"redis://", "no host"},
      {"redis://:pw@", "no host"},
      {"redis://h:0", "port"},
      {"redis://h:65536", "port"},
      {"redis://h:", "port"},
      {"redis://h:63x9", "port"},
      {"redis://h/x", "database"},
      {"redis://h/-1", "database"},
      {"redis://h/1?x=1", "query"},
      {"redis://pw@h", "credentials"},
      {"redis://:@h", "empty password"},
      {"redis://:%zz@h", "%-escape"},
      {"redis://:%4@h", "%-escape"},
      {"redis://[::1", "IPv6"},
      {"redis://h 1", "blanks"},
      {"unix://", "no socket path"},
      {"unix:///", "no socket path"},
      {"unix://host/tmp/r.sock", "a host"},
      {"unix:///tmp/r.sock?database=1", "db=N"},
      {"unix:///tmp/r.sock?db=", "database"},
  };
  for (const auto& c : cases) {
    RedisAddress a;
    std::string reason;
    EXPECT_FALSE(parseRedisUrl(c.url, a, reason)) << c.url;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.url << ": " << reason;
  }
}

struct Loaded {
  HRESULT hr = E_UNEXPECTED;
  FilterSettings settings;
  InputCoordinator input;
  ProfileList profiles;
  int32_t timeoutMinutes = 60;
  std::string problem;
};

std::unique_ptr<Loaded> loadRoot(const std::string& inner) {
  test::ScratchDir dir;
  auto l = std::make_unique<Loaded>();
  const std::string path = dir.write("Vantomer.setting", "<Vantomer>" + inner + "</Vantomer>");
  l->hr = loadSettings(path, SettingsTargets{l->settings, l->input, l->profiles, l->timeoutMinutes},
                       &l->problem);
  return l;
}

TEST(StockSettings, DefaultsAreTheInMemoryStock) {
  const auto l = loadRoot("");
  EXPECT_TRUE(succeeded(l->hr)) << l->problem;
  EXPECT_EQ(l->settings.cookieStockerRedis, "");
  EXPECT_EQ(l->settings.cookieStockerRedisPrefix, "vantomer:");
  EXPECT_EQ(l->settings.cookieStockerRedisTimeoutMs, 100);
  EXPECT_EQ(l->settings.cookieStockerMaxMegabytes, 64);
  EXPECT_FALSE(l->settings.cookieStockerRenewKey);
  EXPECT_EQ(l->settings.heldResponseMaxBytes, 2 * 1024 * 1024);
  EXPECT_EQ(l->settings.conversionMaxAttributes, 256);
  EXPECT_EQ(l->settings.conversionMaxDepth, 256);
  EXPECT_EQ(l->settings.conversionMaxNodes, 200000);
}

TEST(StockSettings, ValuesAndWhatFailsTheLoad) {
  const struct {
    const char* inner;
    bool loads;
    const char* problem;  // the start of the loader's reason
  } cases[] = {
      {"<CookieStockerRedis></CookieStockerRedis>", true, ""},
      {"<CookieStockerRedis>redis://:pw@127.0.0.1:6390/2</CookieStockerRedis>", true, ""},
      {"<CookieStockerRedis>redis://:pw@127.0.0.1:0</CookieStockerRedis>", false,
       "CookieStockerRedis: not a Redis URL: the port must be"},
      {"<CookieStockerRedis>127.0.0.1</CookieStockerRedis>", false,
       "CookieStockerRedis: not a Redis URL: not a redis://"},
      {"<CookieStockerRedisPrefix>site1:</CookieStockerRedisPrefix>", true, ""},
      {"<CookieStockerRedisPrefix></CookieStockerRedisPrefix>", true, ""},
      {"<CookieStockerRedisTimeoutMs>250</CookieStockerRedisTimeoutMs>", true, ""},
      {"<CookieStockerRedisTimeoutMs>0</CookieStockerRedisTimeoutMs>", false,
       "CookieStockerRedisTimeoutMs: \"0\" is not a number from 1 to 60000"},
      {"<CookieStockerRedisTimeoutMs>60001</CookieStockerRedisTimeoutMs>", false,
       "CookieStockerRedisTimeoutMs"},
      {"<CookieStockerMaxMegabytes>16</CookieStockerMaxMegabytes>", true, ""},
      {"<CookieStockerMaxMegabytes>0</CookieStockerMaxMegabytes>", false,
       "CookieStockerMaxMegabytes"},
      {"<CookieStockerRenewKey>on</CookieStockerRenewKey>", true, ""},
      {"<ConversionMaxAttributes>0</ConversionMaxAttributes>", false, "ConversionMaxAttributes"},
      {"<ConversionMaxDepth>257</ConversionMaxDepth>", false,
       "ConversionMaxDepth: \"257\" is not a number from 1 to 256"},
      {"<ConversionMaxNodes>-1</ConversionMaxNodes>", false, "ConversionMaxNodes"},
      {"<ConversionMemoryMaxMegabytes>0</ConversionMemoryMaxMegabytes>", false,
       "ConversionMemoryMaxMegabytes"},
      {"<ConversionWaitMs>0</ConversionWaitMs>", true, ""},
      {"<ConversionWaitMs>60001</ConversionWaitMs>", false, "ConversionWaitMs"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inner);
    const auto l = loadRoot(std::string(c.inner) + "<NewOutputCoordinator/>");
    EXPECT_EQ(succeeded(l->hr), c.loads) << l->problem;
    EXPECT_EQ(l->problem.rfind(c.problem, 0), 0u) << l->problem;
    // The password is never repeated in a message.
    EXPECT_EQ(l->problem.find("pw"), std::string::npos) << l->problem;
    EXPECT_EQ(l->profiles.size(), c.loads ? 1u : 0u);
  }
  const auto l = loadRoot(
      "<CookieStockerRedis>unix:///run/r.sock?db=1</CookieStockerRedis>"
      "<CookieStockerRedisPrefix>site1:</CookieStockerRedisPrefix>"
      "<CookieStockerRedisTimeoutMs>250</CookieStockerRedisTimeoutMs>"
      "<CookieStockerMaxMegabytes>16</CookieStockerMaxMegabytes>");
  EXPECT_EQ(l->settings.cookieStockerRedis, "unix:///run/r.sock?db=1");
  EXPECT_EQ(l->settings.cookieStockerRedisPrefix, "site1:");
  EXPECT_EQ(l->settings.cookieStockerRedisTimeoutMs, 250);
  EXPECT_EQ(l->settings.cookieStockerMaxMegabytes, 16);
}

}  // namespace
}  // namespace vantomer
