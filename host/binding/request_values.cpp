#include "binding/request_values.h"

#include <optional>

namespace vantomer::host {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// "url", "method" and "version" name parts of the request line; with a
// colon they are ordinary header names.
bool pseudoHeader(std::string_view raw, std::string_view name) {
  return (raw.empty() || raw.back() != ':') && iequalsAscii(raw, name);
}

// Whether the header is the one the variable HTTP_... names: dashes read as
// underscores, letters in any case.
bool namesHeader(std::string_view variable, std::string_view header) {
  if (variable.size() != header.size() + 5) return false;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const char c = header[i] == '-' ? '_' : header[i];
    if (upper(c) != upper(variable[i + 5])) return false;
  }
  return true;
}

void appendVariableName(std::string_view header, ValueText& out) {
  out.append("HTTP_");
  for (char c : header) {
    const char v = c == '-' ? '_' : upper(c);
    out.append(std::string_view(&v, 1));
  }
}

template <typename Head>
std::optional<std::string_view> firstHeader(const Head& head, std::string_view name) {
  std::optional<std::string_view> found;
  head.forEachHeader(
      [&](std::string_view n, std::string_view v) {
        if (!found && iequalsAscii(n, name)) found = v;
      },
      name.size());
  return found;
}

}  // namespace

std::string_view headerName(std::string_view name) {
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  return name;
}

template <typename Head>
bool writeValues(const Head& head, std::string_view name, std::string_view separator,
                 ValueText& out) {
  bool found = false;
  head.forEachHeader(
      [&](std::string_view n, std::string_view v) {
        if (!iequalsAscii(n, name)) return;
        if (found) out.append(separator);
        out.append(v);
        found = true;
      },
      name.size());
  return found;
}

bool writeHeaderValues(const ResponseHead& head, std::string_view name, std::string_view separator,
                       ValueText& out) {
  return writeValues(head, name, separator, out);
}

bool writeRequestHeader(std::string_view raw, const RequestHead& request, ValueText& out) {
  auto give = [&](std::string_view value) {
    out.append(value);
    return true;
  };
  if (pseudoHeader(raw, "url")) return give(request.url);
  if (pseudoHeader(raw, "method")) return give(request.method);
  if (pseudoHeader(raw, "version")) return give(request.version);
  const std::string_view name = headerName(raw);
  return writeValues(request, name, iequalsAscii(name, "Cookie") ? "; " : ", ", out);
}

bool isHeaderVariable(std::string_view name) {
  return name.size() > 5 && iequalsAscii(name.substr(0, 5), "HTTP_");
}

bool writeServerVariable(std::string_view name, const RequestHead* request,
                         const ConnectionInfo& info, ValueText& out) {
  auto is = [&](std::string_view known) { return iequalsAscii(name, known); };
  auto give = [&](std::string_view value) {
    out.append(value);
    return true;
  };
  auto giveNumber = [&](unsigned number) {
    out.appendNumber(number);
    return true;
  };
  // Headers first: the filter reads them on every request.
  if (isHeaderVariable(name)) {
    if (!request) return false;
    bool found = false;
    request->forEachHeader(
        [&](std::string_view n, std::string_view v) {
          if (!namesHeader(name, n)) return;
          if (found) out.append(", ");
          out.append(v);
          found = true;
        },
        name.size() - 5);
    return found;
  }
  if (is("HTTPS")) return give(info.secure ? "on" : "off");
  if (is("SERVER_PORT_SECURE")) return give(info.secure ? "1" : "0");
  if (is("SERVER_PORT")) return giveNumber(info.localPort);
  if (is("LOCAL_ADDR")) return give(info.localAddress);
  if (is("REMOTE_ADDR") || is("REMOTE_HOST")) return give(info.remoteAddress);
  if (is("REMOTE_PORT")) return giveNumber(info.remotePort);
  if (is("SERVER_SOFTWARE")) {
    if (info.serverSoftware.empty()) return false;
    return give(info.serverSoftware);
  }
  if (!request) return false;
  if (is("URL") || is("PATH_INFO")) return give(request->path());
  if (is("QUERY_STRING")) return give(request->query());
  if (is("REQUEST_METHOD")) return give(request->method);
  if (is("SERVER_PROTOCOL")) return give(request->version);
  if (is("CONTENT_TYPE")) {
    writeValues(*request, "Content-Type", ", ", out);
    return true;
  }
  if (is("CONTENT_LENGTH")) {
    if (!writeValues(*request, "Content-Length", ", ", out)) out.append("0");
    return true;
  }
  if (is("SERVER_NAME")) {
    // The Host header without its port; the local address when there is none.
    const auto host = firstHeader(*request, "Host");
    if (!host || host->empty()) return give(info.localAddress);
    std::string_view h = *host;
    const std::size_t end = h.front() == '[' ? h.find(']') : h.find(':');
    if (end == std::string_view::npos) return give(h);
    return give(h.substr(0, h.front() == '[' ? end + 1 : end));
  }
  if (is("ALL_HTTP")) {
    request->forEachHeader([&](std::string_view n, std::string_view v) {
      appendVariableName(n, out);
      out.append(":");
      out.append(v);
      out.append("\n");
    });
    return true;
  }
  if (is("ALL_RAW")) {
    request->forEachHeader([&](std::string_view n, std::string_view v) {
      out.append(n);
      out.append(": ");
      out.append(v);
      out.append("\r\n");
    });
    return true;
  }
  return false;
}

}  // namespace vantomer::host
