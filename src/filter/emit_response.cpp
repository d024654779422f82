#include "filter/emit_response.h"

#include <string>

namespace vantomer {

void emitResponse(HTTP_FILTER_CONTEXT* pfc, HeldResponse& response, ResponseBody& body) {
  setContentLength(response, body);
  std::string head = formatHead(response);
  if (!pfc || !pfc->WriteClient) return;
  DWORD headSize = static_cast<DWORD>(head.size());
  pfc->WriteClient(pfc, head.data(), &headSize, 0);
  DWORD bodySize = static_cast<DWORD>(body.size());
  pfc->WriteClient(pfc, body.data(), &bodySize, 0);
}

void writeRaw(HTTP_FILTER_CONTEXT* pfc, std::string& bytes) {
  if (!pfc || !pfc->WriteClient) return;
  DWORD size = static_cast<DWORD>(bytes.size());
  pfc->WriteClient(pfc, bytes.data(), &size, 0);
}

void emitFixedError(HTTP_FILTER_CONTEXT* pfc) noexcept {
  static const char kHead[] = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n";
  static char kNothing[1];
  if (!pfc || !pfc->WriteClient) return;
  DWORD size = sizeof kHead - 1;
  pfc->WriteClient(pfc, const_cast<char*>(kHead), &size, 0);
  size = 0;
  pfc->WriteClient(pfc, kNothing, &size, 0);
}

}  // namespace vantomer
