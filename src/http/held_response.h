#pragma once
// Parsing of the held response bytes, the 500 response, and re-emission.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/header_map.h"
#include "platform/hresult.h"

namespace vantomer {

struct HeldResponse {
  std::string version;
  int32_t statusCode = 0;
  std::string reasonPhrase;
  HeaderMap headers;
};

// The decoded body; its whole content at emission is what is sent.
using ResponseBody = std::string;

// Forward-only reader over the held bytes.
struct HeldStream {
  std::string_view data;
  std::size_t pos = 0;
  bool failed = false;
  bool cut = false;  // a line filled its buffer before it ended
};

// Bounds of the held heads: CSP and Set-Cookie lines of several KiB are
// common, and a line is never cut (the headers after it would be lost).
inline constexpr std::size_t kHeadLineLimit = 16 * 1024;
inline constexpr std::size_t kHeadLineCapacity = kHeadLineLimit + 1;
inline constexpr std::size_t kHeadLimit = 64 * 1024;
inline constexpr std::size_t kChunkLineCapacity = 256;
inline constexpr std::size_t kBodyBlockSize = 1024;

// Reads one line ending at CR into a buffer of the given capacity.
std::string readHeldLine(HeldStream& stream, std::size_t capacity);
void parseStatusLine(std::string_view line, HeldResponse& response);
void parseHeaderLine(std::string_view line, HeldResponse& response);

// Why the held heads were refused: a line over kHeadLineLimit bytes, or the
// heads (interim ones included) over kHeadLimit bytes.
enum class HeadProblem { None, LineTooLong, HeadTooLarge };
const char* describe(HeadProblem problem);

// Within the bounds, the final head and its body; otherwise the problem, and
// the response holds the status line alone.
HeadProblem parseHeldResponse(std::string_view captured, HeldResponse& response,
                              ResponseBody& body);

// Whether a final response of this status has no body by definition (204,
// 304). Interim responses are not final: the held bytes read on past them.
bool isFinalWithoutBody(int32_t statusCode);

// Drops the header lines that hold a bare LF, which clients would read as
// line ends of their own; true when the status line or any header had one.
bool dropBareLineFeeds(HeldResponse& response);

// Turns the response into the 500 response for the code.
void makeErrorResponse(HeldResponse& response, ResponseBody& body, HRESULT code);
// A fresh 500 response with a plain text Content-Type, when the
// application's head cannot be kept.
void makeBareErrorResponse(HeldResponse& response, ResponseBody& body, HRESULT code);

// A fresh 503 response: conversions at work take the memory they may.
void makeBusyResponse(HeldResponse& response, ResponseBody& body);

// Sets Content-Length to the body's size, dropping any second one.
void setContentLength(HeldResponse& response, const ResponseBody& body);
// The status line and headers as sent, ending with the empty line.
std::string formatHead(const HeldResponse& response);

}  // namespace vantomer
