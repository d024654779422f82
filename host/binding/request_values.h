#pragma once
// What GetServerVariable and GetHeader give a filter: server variables from
// the connection and the request, header values as the request and
// response hold them. Each writes the value into out, and returns false when
// there is none.

#include <string_view>

#include "binding/connection_info.h"
#include "binding/message_head.h"
#include "binding/value_reply.h"

namespace vantomer::host {

// request may be null between requests: only the connection's variables
// exist then. A request header X-Name is the variable HTTP_X_NAME.
bool writeServerVariable(std::string_view name, const RequestHead* request,
                         const ConnectionInfo& info, ValueText& out);
// Whether the name is of the HTTP_ kind, which only request headers answer.
bool isHeaderVariable(std::string_view name);
// name as the filter gives it: "url", "method" and "version" without a
// colon name parts of the request line; header names may carry their colon.
// Repeated fields are joined as HTTP joins them ("; " for Cookie).
bool writeRequestHeader(std::string_view name, const RequestHead& request, ValueText& out);
// Every field of that name (without its colon), joined by separator.
bool writeHeaderValues(const ResponseHead& head, std::string_view name, std::string_view separator,
                       ValueText& out);

// A header name as a filter hands it over, without its trailing colon.
std::string_view headerName(std::string_view name);

}  // namespace vantomer::host
