#pragma once
// Responses whose body is at hand in memory: the server's own answers, and
// the bodies of HEAD requests.

#include <memory>
#include <string>

#include "binding/headers.h"
#include "binding/message_head.h"
#include "server/application.h"

namespace vantomer::host {

class MemorySource : public ResponseSource {
 public:
  explicit MemorySource(std::string body) : body_(std::move(body)) {}
  awaitable<BodyBlock> next() override;
  bool immediate() const override { return true; }

 private:
  std::string body_;
  bool sent_ = false;
};

// A whole response of the host's own, framed with Content-Length; for HEAD
// requests the body is left out.
std::unique_ptr<ResponseSource> textResponse(const RequestHead& request, int status,
                                             std::string body, Headers extra = {},
                                             std::string contentType = "text/plain; charset=utf-8");

}  // namespace vantomer::host
