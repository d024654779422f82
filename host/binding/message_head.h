#pragma once
// HTTP/1.1 message heads as the host sees them: request heads handed to the
// filter and the application, response heads as raw bytes with their parsed
// fields.

#include <string>
#include <string_view>

#include "binding/field_source.h"
#include "binding/headers.h"

namespace vantomer::host {

struct RequestHead {
  std::string method;
  std::string url;  // path and query, as the application receives it
  std::string version = "HTTP/1.1";
  Headers headers;
  // Set by a host that keeps the fields itself: headers is empty meanwhile.
  const FieldSource* source = nullptr;

  std::string_view path() const;
  std::string_view query() const;
  template <typename F>
  void forEachHeader(F&& f, std::size_t nameLength = 0) const {
    forEachField(headers, source, std::forward<F>(f), nameLength);
  }
  // The fields as the binding's own list, which a change needs.
  Headers& ownHeaders() {
    ownFields(headers, source);
    return headers;
  }
};

struct ResponseHead {
  std::string version;
  int status = 0;
  std::string reason;
  Headers headers;
  std::string raw;  // status line through the empty line, as it goes out
  // Set by a host that keeps the fields itself: headers is empty meanwhile.
  const FieldSource* source = nullptr;

  template <typename F>
  void forEachHeader(F&& f, std::size_t nameLength = 0) const {
    forEachField(headers, source, std::forward<F>(f), nameLength);
  }
  Headers& ownHeaders() {
    ownFields(headers, source);
    return headers;
  }
  // Rebuilds raw from the fields.
  void format();
};

// Parses a complete head (status line, fields, empty line). Rejects what a
// proxy must not pass on: folded lines, bad names, bad status lines.
bool parseResponseHead(std::string_view raw, ResponseHead& head, std::string& error);

}  // namespace vantomer::host
