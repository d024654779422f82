#pragma once
// One whole request through a filter connection, in the order the filter
// interface promises: the request head and PREPROC_HEADERS; the
// application's response head and SEND_RESPONSE; the response (head, then
// body) as SEND_RAW_DATA blocks of at most blockSize bytes; END_OF_REQUEST.
// What the client receives goes to the connection's sink. For hosts that
// have the whole response at hand; a server that streams calls the same
// steps of the connection itself.

#include <cstddef>
#include <string_view>

#include "binding/filter_connection.h"
#include "binding/message_head.h"

namespace vantomer::host {

void runExchange(FilterConnection& connection, RequestHead& request, ResponseHead& response,
                 std::string_view body, std::size_t blockSize);

// An application's response as raw bytes, read as a host reads whatever an
// application wrote: interim 1xx heads are skipped, the fields are the
// lines of the final head that hold a colon, nothing is refused.
struct RawResponse {
  // raw: the bytes through the empty line that ends the final head (all of
  // them when there is none).
  ResponseHead head;
  std::string_view body;
};
RawResponse splitRawResponse(std::string_view bytes);

}  // namespace vantomer::host
