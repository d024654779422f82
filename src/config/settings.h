#pragma once
// The records the settings file fills. Narrow texts hold bytes of the ANSI
// code page; wide texts hold UTF-8 (their widths count UTF-16 units).

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vantomer {

// How a profile writes emoji and which handset family it serves.
enum class EmojiType : int32_t { Image = 0, Comment = 1, IMode = 2, EZweb = 3, JSky = 4 };

// The family as the settings name it ("Image", "i-mode", "EZweb", ...).
inline const char* emojiTypeName(EmojiType type) {
  switch (type) {
    case EmojiType::Comment:
      return "Comment";
    case EmojiType::IMode:
      return "i-mode";
    case EmojiType::EZweb:
      return "EZweb";
    case EmojiType::JSky:
      return "J-SKY";
    case EmojiType::Image:
      break;
  }
  return "Image";
}

// Widths of the fixed buffers, terminator included.
namespace width {
inline constexpr std::size_t LocationCorrectBasePathSVName = 128;
inline constexpr std::size_t CookieStockKey = 128;
inline constexpr std::size_t CookieStockKeyRaw = 128;
inline constexpr std::size_t CookiePaddingMark = 16;
inline constexpr std::size_t CookieStockerRedis = 1024;
inline constexpr std::size_t CookieStockerRedisPrefix = 128;
inline constexpr std::size_t InputContentType = 64;
inline constexpr std::size_t DOCTYPE = 8192;
inline constexpr std::size_t ErrorSource = 16384;
inline constexpr std::size_t UAPattern = 1024;
inline constexpr std::size_t EmojiImgSrc = 512;
inline constexpr std::size_t Charset = 64;
inline constexpr std::size_t XMLDeclaration = 256;
inline constexpr std::size_t XMLDTD = 1024;
inline constexpr std::size_t OutputContentType = 64;
}  // namespace width

struct FilterSettings {
  bool locationCorrect = true;
  std::string locationCorrectBasePathSVName;
  bool cookieImitation = true;
  std::string cookieStockKey = "HTTP_X_COOKIE_STOCK_KEY";
  std::string cookieStockKeyRaw = "X-Cookie-Stock-Key:";
  std::string cookiePaddingMarkL = "(=";
  std::string cookiePaddingMarkR = "=)";
  // The cookie stock: in Redis when this URL is given (checked at load),
  // else in this process's memory, bounded by cookieStockerMaxMegabytes.
  std::string cookieStockerRedis;
  std::string cookieStockerRedisPrefix = "vantomer:";
  int32_t cookieStockerRedisTimeoutMs = 100;
  int32_t cookieStockerMaxMegabytes = 64;
  // A request that came with a key and whose response sets cookies stocks
  // them under a new key (a copy of the old entry plus the new cookies), so
  // a key planted in a link never sees a login made after it.
  bool cookieStockerRenewKey = false;
  // A held response that grows past this many bytes is answered with the 500
  // response at once and the rest withheld: memory for one upstream stays
  // bounded. Handset pages are far smaller.
  int32_t heldResponseMaxBytes = 2 * 1024 * 1024;
  // Caps on one held page, checked before the parser sees it: its work and
  // memory grow with them, the attributes of one element quadratically.
  int32_t conversionMaxAttributes = 256;
  int32_t conversionMaxDepth = 256;
  int32_t conversionMaxNodes = 200000;
  // The memory that conversions running at once may take together; a page
  // that would take more waits up to conversionWaitMs for room, then gets a
  // 503 response.
  int32_t conversionMemoryMaxMegabytes = 256;
  int32_t conversionWaitMs = 2000;
};

// One accesskey icon: an emoji number or a text (UTF-8), at most one set.
struct AccesskeyIcon {
  std::string emoji;
  std::string text;
};

inline constexpr const char* kDefaultDocType =
    "<!DOCTYPE html [<!ENTITY nbsp \"&#160;\"><!ENTITY copy \"&#169;\">"
    "<!ENTITY reg \"&#174;\">]>";
inline constexpr const char* kDefaultErrorSource =
    "<html><head><title>ERROR</title></head><body>TELMARK Parse Error "
    "occured.</body></html>";

struct InputCoordinator {
  std::string contentType = "text/x-telmark";
  std::string docType = kDefaultDocType;
  std::string errorSource = kDefaultErrorSource;
  std::map<std::string, AccesskeyIcon> accesskeyIcons;
};

struct CompiledUAPattern;  // defined where profiles are selected

// One output profile.
struct OutputCoordinator {
  std::string uaPattern = ".*";
  EmojiType emojiType = EmojiType::Comment;
  std::string emojiImgSrc;
  int32_t codePage = 65001;
  std::string charset = "UTF-8";
  std::string xmlDeclaration;
  std::string xmlDtd;
  std::string contentType = "text/html";
  bool htmlMode = false;
  bool locationCorrect = true;
  bool cookieImitation = true;
  bool iXHTML = false;

  // The pattern compiled on first use; the same for every thread.
  mutable std::once_flag patternOnce;
  mutable std::shared_ptr<const CompiledUAPattern> compiledPattern;
};

using ProfileList = std::vector<std::unique_ptr<OutputCoordinator>>;

}  // namespace vantomer
