#include "cookie/redis_cookie_store.h"

#include <algorithm>
#include <chrono>

#include "cookie/cookie_change.h"
#include "cookie/sha1.h"

namespace vantomer {
namespace {

// An entry is a hash: "u" the User-Agent, "n" the count of cookies set (the
// order that the per-entry bound evicts by), and per cookie the field
// "c" LENGTH ":" NAME PATH holding ORDER ":" LENGTH ":" FLAG VALUE, with
// "e" DEADLINE ":" after ORDER ":" for a cookie of bounded life (Unix time
// in milliseconds).

// A lookup is no script: PEXPIRE and HGETALL in one round trip cost Redis a
// fraction of one. An entry found bound to another User-Agent goes by this
// script (KEYS[1] the entry, ARGV[1] the User-Agent asking), unless that
// User-Agent has taken it meanwhile.
const std::string kForgetScript = R"lua(
local ua = redis.call('HGET', KEYS[1], 'u')
if ua and ua ~= ARGV[1] then redis.call('DEL', KEYS[1]) end
return 0
)lua";

// KEYS[1] the key counter; ARGV the prefix, the stock key (empty for a new
// one), the letters of a new key, the expiry in milliseconds, the
// User-Agent, the most cookies an entry keeps, the key to renew (empty for
// none), then per change "d" (the stocked cookie goes) or "s" (stock it),
// the field and the value. A key to renew is kept when the changes change
// nothing of its entry (values compared without order and deadline), else
// a new key starts from a copy of its entry of this User-Agent. Returns the
// stock key.
const std::string kCaptureScript = R"lua(
local function bare(v)
  return (string.gsub(v, '^e%d+:', ''))
end
local key = ARGV[2]
local from = ARGV[7]
local copy = false
if from ~= '' then
  local old = ARGV[1] .. from
  local mine = redis.call('HGET', old, 'u') == ARGV[5]
  local changes = not mine
  for i = 8, #ARGV, 3 do
    if changes then break end
    local held = redis.call('HGET', old, ARGV[i + 1])
    if ARGV[i] == 'd' then
      changes = held ~= false
    else
      changes = held == false or bare((string.gsub(held, '^%d+:', ''))) ~= bare(ARGV[i + 2])
    end
  end
  if changes then copy = mine else key = from end
end
if key == '' then
  key = ARGV[3] .. '0x' .. string.format('%x', redis.call('INCR', KEYS[1]))
end
local entry = ARGV[1] .. key
local most = tonumber(ARGV[6])
local stocked = false
if from ~= '' and key ~= from then
  if copy then
    redis.call('HSET', entry, unpack(redis.call('HGETALL', ARGV[1] .. from)))
  else
    redis.call('HSET', entry, 'u', ARGV[5])
  end
  stocked = true
end
for i = 8, #ARGV, 3 do
  local field = ARGV[i + 1]
  if ARGV[i] == 'd' then
    redis.call('HDEL', entry, field)
  else
    if redis.call('HEXISTS', entry, field) == 0 and redis.call('HLEN', entry) - 2 >= most then
      local all = redis.call('HGETALL', entry)
      local oldest, oldestField
      for j = 1, #all, 2 do
        if string.sub(all[j], 1, 1) == 'c' then
          local order = tonumber(string.match(all[j + 1], '^(%d+):'))
          if order and (not oldest or order < oldest) then oldest, oldestField = order, all[j] end
        end
      end
      if oldestField then redis.call('HDEL', entry, oldestField) end
    end
    local order = redis.call('HINCRBY', entry, 'n', 1)
    redis.call('HSET', entry, field, order .. ':' .. ARGV[i + 2], 'u', ARGV[5])
    stocked = true
  end
end
if stocked then redis.call('PEXPIRE', entry, ARGV[4]) end
return key
)lua";

const std::string kForgetDigest = sha1Hex(kForgetScript);
const std::string kCaptureDigest = sha1Hex(kCaptureScript);

// Built by appending: GCC's optimiser warns (falsely) about "c" + string.
std::string cookieField(const StockedCookie& cookie) {
  std::string field = "c";
  field += std::to_string(cookie.name.size());
  field += ':';
  field += cookie.name;
  field += cookie.path;
  return field;
}

std::string cookieValue(const StockedCookie& cookie, int64_t deadlineMs) {
  std::string value;
  if (deadlineMs > 0) value = "e" + std::to_string(deadlineMs) + ":";
  return value + std::to_string(cookie.flag.size()) + ":" + cookie.flag + cookie.value;
}

int64_t unixMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The "e" DEADLINE ":" of a cookie of bounded life; 0 when there is none,
// -1 when it is damaged.
int64_t readDeadline(std::string_view& text) {
  if (!text.starts_with('e')) return 0;
  const std::size_t colon = text.find(':');
  if (colon < 2 || colon == std::string_view::npos || colon > 19) return -1;
  int64_t deadline = 0;
  for (char c : text.substr(1, colon - 1)) {
    if (c < '0' || c > '9') return -1;
    deadline = deadline * 10 + (c - '0');
  }
  text.remove_prefix(colon + 1);
  return deadline;
}

// Reads a decimal number and the ":" after it from the front of text.
bool readLength(std::string_view& text, std::size_t& number) {
  const std::size_t colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon > 9) return false;
  number = 0;
  for (char c : text.substr(0, colon)) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<std::size_t>(c - '0');
  }
  text.remove_prefix(colon + 1);
  return true;
}

// One cookie of the hash; false for a field that is no cookie, is damaged
// or has outlived its Max-Age at nowMs.
bool readCookie(std::string_view field, std::string_view value, int64_t nowMs,
                StockedCookie& cookie) {
  if (!field.starts_with('c')) return false;
  field.remove_prefix(1);
  std::size_t length = 0, order = 0;
  if (!readLength(field, length) || length > field.size()) return false;
  cookie.name = std::string(field.substr(0, length));
  cookie.path = std::string(field.substr(length));
  if (!readLength(value, order)) return false;
  const int64_t deadline = readDeadline(value);
  if (deadline < 0 || (deadline > 0 && deadline <= nowMs)) return false;
  if (!readLength(value, length) || length > value.size()) return false;
  cookie.flag = std::string(value.substr(0, length));
  cookie.value = std::string(value.substr(length));
  return true;
}

// The changes of one response for the capture script: per change "d" (the
// stocked cookie goes) or "s" (stock it), and its field and value. Parsed
// here, so that the script sees only fields and values, and the bound on a
// cookie's length is kept before anything is sent.
void readChanges(const std::vector<std::string_view>& setCookieValues, std::string_view requestPath,
                 std::vector<const char*>& ops, std::vector<std::string>& texts) {
  const int64_t now = unixMs();
  for (std::string_view value : setCookieValues) {
    const CookieChange change = readCookieChange(value, requestPath);
    if (change.deletes) {
      for (const CookieKey& key : change.removed) {
        ops.push_back("d");
        texts.push_back(cookieField(StockedCookie{key.first, {}, key.second, {}, {}, {}}));
        texts.emplace_back();
      }
    } else if (fitsCookieBound(change.cookie)) {
      ops.push_back("s");
      texts.push_back(cookieField(change.cookie));
      texts.push_back(
          cookieValue(change.cookie, change.lifetimeMs > 0 ? now + change.lifetimeMs : 0));
    }
  }
}

}  // namespace

RedisCookieStore::RedisCookieStore(RedisAddress address, std::string prefix,
                                   std::chrono::milliseconds timeout, int32_t idleMinutes,
                                   CookieStocker& fallback, RedisOutage::Report report)
    : prefix_(std::move(prefix)),
      // The in-memory stock drops an entry within a minute at timeout 0.
      expiryMs_(std::to_string(int64_t{std::max<int32_t>(idleMinutes, 1)} * 60000)),
      fallback_(fallback),
      pool_(address, timeout),
      outage_(address.describe(), std::move(report)) {}

RedisCookieStore::Outcome RedisCookieStore::runScript(const std::string& script,
                                                      const std::string& digest,
                                                      std::vector<std::string_view> keysAndArgs,
                                                      RedisReply& reply) {
  std::string reason;
  const auto deadline = pool_.deadline();
  keysAndArgs.insert(keysAndArgs.begin(), {"EVALSHA", digest, "1"});
  bool ok = pool_.call(keysAndArgs, reply, deadline, reason);
  if (ok && reply.isError() && reply.text.starts_with("NOSCRIPT")) {
    keysAndArgs[0] = "EVAL";
    keysAndArgs[1] = script;
    ok = pool_.call(keysAndArgs, reply, deadline, reason);
  }
  if (ok && !reply.isError()) return Outcome::Done;
  // Something else under the prefix holds this name: no outage.
  if (ok && reply.text.find("WRONGTYPE") != std::string::npos) return Outcome::KeyUnusable;
  if (ok) reason = reply.text;
  reply.text = reason;
  pool_.drop();
  return Outcome::Failed;
}

RedisCookieStore::Outcome RedisCookieStore::runCommands(
    const std::vector<std::vector<std::string_view>>& commands, std::vector<RedisReply>& replies) {
  std::string reason;
  if (!pool_.run(commands, replies, pool_.deadline(), reason)) {
    replies.assign(1, RedisReply{});
    replies[0].text = reason;
    pool_.drop();
    return Outcome::Failed;
  }
  for (RedisReply& reply : replies) {
    if (!reply.isError()) continue;
    if (reply.text.find("WRONGTYPE") != std::string::npos) return Outcome::KeyUnusable;
    replies[0].text = reply.text;
    pool_.drop();
    return Outcome::Failed;
  }
  return Outcome::Done;
}

HRESULT RedisCookieStore::capture(std::string& stockKey,
                                  const std::vector<std::string_view>& setCookieValues,
                                  std::string_view userAgent, const CaptureOptions& options) {
  if (setCookieValues.empty()) return S_OK;
  // Keys stocked here during an outage stay here.
  if (!stockKey.empty() && fallback_.contains(stockKey))
    return fallback_.capture(stockKey, setCookieValues, userAgent, options);
  const RedisOutage::Ask ask = outage_.mayAsk();
  if (ask == RedisOutage::Ask::No)
    return fallback_.capture(stockKey, setCookieValues, userAgent, options);

  std::vector<const char*> ops;
  std::vector<std::string> texts;
  readChanges(setCookieValues, options.requestPath, ops, texts);
  // What the lookup just read tells when setting the same cookies again
  // changes nothing: no round trip then.
  if (!stockKey.empty() && ask == RedisOutage::Ask::Yes &&
      seen_.unchanged(stockKey, userAgent, ops, texts))
    return S_OK;
  const std::string from = options.renewKey ? stockKey : std::string();
  const std::string key = options.renewKey ? std::string() : stockKey;
  std::string letters;
  if (key.empty()) {
    std::lock_guard<std::mutex> hold(lettersLock_);
    letters = letters_.draw();
  }
  const std::string most = std::to_string(kMaxCookiesPerEntry);
  std::vector<std::string_view> args{prefix_,   prefix_,   key,  letters,
                                     expiryMs_, userAgent, most, from};
  for (std::size_t i = 0; i < ops.size(); ++i) {
    args.push_back(ops[i]);
    args.push_back(texts[2 * i]);
    args.push_back(texts[2 * i + 1]);
  }

  RedisReply reply;
  seen_.writing(stockKey);
  const Outcome outcome = runScript(kCaptureScript, kCaptureDigest, std::move(args), reply);
  seen_.writing(stockKey);
  if (outcome == Outcome::Done && reply.type == RedisReply::Type::String) {
    outage_.succeeded(ask);
    stockKey = reply.text;
    return S_OK;
  }
  if (outcome == Outcome::Failed)
    outage_.failed(ask, reply.text);
  else
    outage_.succeeded(ask);
  return fallback_.capture(stockKey, setCookieValues, userAgent, options);
}

HRESULT RedisCookieStore::lookup(const std::string& stockKey, std::string_view userAgent,
                                 StockedCookies& cookies) {
  // The empty key is never made; the prefix alone is the key counter.
  if (stockKey.empty()) return S_FALSE;
  if (fallback_.contains(stockKey)) return fallback_.lookup(stockKey, userAgent, cookies);
  const RedisOutage::Ask ask = outage_.mayAsk();
  if (ask == RedisOutage::Ask::No) return S_FALSE;

  const std::string entry = prefix_ + stockKey;
  std::vector<RedisReply> replies;
  const uint32_t token = seen_.before(stockKey);
  Outcome outcome = runCommands({{"PEXPIRE", entry, expiryMs_}, {"HGETALL", entry}}, replies);
  const std::string* bound = nullptr;
  if (outcome == Outcome::Done) {
    const std::vector<RedisReply>& items = replies[1].items;
    for (std::size_t i = 0; i + 1 < items.size() && !bound; i += 2)
      if (items[i].text == "u") bound = &items[i + 1].text;
    if (bound && *bound != userAgent) {
      RedisReply reply;
      seen_.writing(stockKey);
      outcome = runScript(kForgetScript, kForgetDigest, {entry, userAgent}, reply);
      seen_.writing(stockKey);
      if (outcome == Outcome::Failed) replies[0].text = reply.text;
      bound = nullptr;
    }
  }
  if (outcome == Outcome::Failed) {
    outage_.failed(ask, replies[0].text);
    return S_FALSE;
  }
  outage_.succeeded(ask);
  if (!bound) return S_FALSE;
  seen_.remember(stockKey, token, userAgent, replies[1].items);
  cookies.clear();
  const int64_t now = unixMs();
  const std::vector<RedisReply>& items = replies[1].items;
  for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
    StockedCookie cookie;
    if (!readCookie(items[i].text, items[i + 1].text, now, cookie)) continue;
    CookieKey key(cookie.name, cookie.path);
    cookies.insert_or_assign(std::move(key), std::move(cookie));
  }
  return S_OK;
}

void RedisCookieStore::sweep() { fallback_.sweep(); }

HRESULT RedisCookieStore::newKey(std::string& key) {
  const RedisOutage::Ask ask = outage_.mayAsk();
  if (ask != RedisOutage::Ask::No) {
    RedisReply reply;
    std::string reason;
    if (pool_.call({"INCR", prefix_}, reply, pool_.deadline(), reason) &&
        reply.type == RedisReply::Type::Integer && reply.integer > 0) {
      outage_.succeeded(ask);
      std::lock_guard<std::mutex> hold(lettersLock_);
      key = formatStockKey(letters_.draw(), static_cast<uint64_t>(reply.integer));
      return S_OK;
    }
    outage_.failed(ask, reply.isError() ? reply.text : reason);
    pool_.drop();
  }
  return fallback_.newKey(key);
}

}  // namespace vantomer
