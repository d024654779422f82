// The held response parser over arbitrary bytes, then the head it would emit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/content_type.h"
#include "http/held_response.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view captured(reinterpret_cast<const char*>(data), size);
  vantomer::HeldResponse response;
  vantomer::ResponseBody body;
  const vantomer::HeadProblem problem = vantomer::parseHeldResponse(captured, response, body);

  // The body is made of held bytes only; decoding never invents any.
  if (body.size() > size) std::abort();
  // A refused head keeps nothing of the application's headers; a kept one
  // has no line longer than the bound (none is ever cut).
  if (problem != vantomer::HeadProblem::None && !response.headers.empty()) std::abort();
  for (const auto& [name, value] : response.headers)
    if (name.size() + value.size() > vantomer::kHeadLineLimit) std::abort();

  auto type = vantomer::findHeader(response.headers, "Content-Type");
  if (type != response.headers.end()) {
    vantomer::ContentType parsed;
    parsed.parse(type->second);
    (void)parsed.format();
  }

  vantomer::makeErrorResponse(response, body, vantomer::E_FAIL);
  response.headers.emplace("Content-Length", std::to_string(body.size()));
  const std::string head = vantomer::formatHead(response);
  if (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) std::abort();
  return 0;
}
