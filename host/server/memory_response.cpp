#include "server/memory_response.h"

#include "server/http_date.h"
#include "server/simple_response.h"

namespace vantomer::host {

awaitable<BodyBlock> MemorySource::next() {
  if (sent_ || body_.empty()) co_return BodyBlock{BodyBlock::End, {}};
  sent_ = true;
  co_return BodyBlock{BodyBlock::Data, body_};
}

std::unique_ptr<ResponseSource> textResponse(const RequestHead& request, int status,
                                             std::string body, Headers extra,
                                             std::string contentType) {
  const std::size_t length = body.size();
  auto source =
      std::make_unique<MemorySource>(request.method == "HEAD" ? std::string() : std::move(body));
  ResponseHead& head = source->head;
  head.version = "HTTP/1.1";
  head.status = status;
  head.reason = std::string(reasonPhrase(status));
  head.headers = {{"Date", currentHttpDate()},
                  {"Server", "vantomer"},
                  {"Content-Type", std::move(contentType)},
                  {"Content-Length", std::to_string(length)}};
  for (Header& h : extra) head.headers.push_back(std::move(h));
  head.format();
  return source;
}

}  // namespace vantomer::host
