#pragma once
// What the filter read from the host about the request it works on: the
// layers below the adapter see the request only through these values.

#include <optional>
#include <string>

namespace vantomer {

struct RequestFacts {
  std::string userAgent;  // empty when unreadable, as every text here
  std::string host;       // as the request named this site
  bool secure = false;    // "HTTPS" reads "on"
  // The stock key the request carries (the server variable the settings name).
  std::string stockKey;
  // Where a relative Location is resolved from: the settings' base-path
  // variable, else the request's URL; none when neither could be read.
  std::optional<std::string> basePath;
  // The request's own Cookie header; none when absent or unreadable.
  std::optional<std::string> cookieHeader;
};

}  // namespace vantomer
