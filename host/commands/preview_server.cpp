#include "commands/preview_server.h"

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <fstream>
#include <iterator>

#include "commands/preview_page.h"
#include "server/listen_socket.h"

namespace vantomer::host {

namespace beast = boost::beast;
namespace http = beast::http;

struct PreviewServer::Reply {
  http::status status = http::status::ok;
  std::string contentType = "text/plain; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> fields;
};

namespace {

using Reply = PreviewServer::Reply;
constexpr std::chrono::seconds kClientTimeout{120};

// The grid and every frame inside it (a srcdoc frame takes its parent's
// policy): no script at all, pictures and styles only from here.
constexpr const char* kPolicy =
    "default-src 'none'; img-src 'self' data:; style-src 'unsafe-inline'; frame-src 'self'; "
    "base-uri 'self'; form-action 'self'; frame-ancestors 'none'";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Bytes a request line cannot carry as they are.
std::string percentEncode(std::string_view text, std::string_view alsoEncode) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || alsoEncode.find(ch) != std::string_view::npos) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

// The value of one query parameter; nullopt when absent.
std::optional<std::string> queryValue(std::string_view query, std::string_view name) {
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t eq = pair.find('=');
    if (percentDecode(pair.substr(0, eq)) == name)
      return eq == std::string_view::npos ? std::string() : percentDecode(pair.substr(eq + 1));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return std::nullopt;
}

bool readWhole(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

Reply textReply(http::status status, std::string text) {
  Reply r;
  r.status = status;
  r.body = std::move(text);
  return r;
}

}  // namespace

PreviewServer::PreviewServer(PreviewOptions options, const PreviewSettings& settings,
                             PreviewSite& site)
    : options_(std::move(options)), settings_(settings), site_(site) {
  for (const std::string& t : settings_.imageTemplates()) {
    const std::size_t at = t.find("%num%");
    templates_.emplace_back(t.substr(0, at), t.substr(at + 5));
  }
}

PreviewServer::~PreviewServer() = default;

bool PreviewServer::listen(asio::io_context& io, std::string& error) {
  tcp::endpoint endpoint;
  acceptor_ = listenOn(io, options_.listenHost, options_.listenPort, "", endpoint, error);
  if (!acceptor_) return false;
  error_code ec;
  endpoint = acceptor_->local_endpoint(ec);
  const std::string address = endpoint.address().to_string();
  listen_ = (endpoint.address().is_v6() ? "[" + address + "]" : address) + ":" +
            std::to_string(endpoint.port());
  url_ = "http://" + listen_ + "/";
  loopback_ = endpoint.address().is_loopback();
  asio::co_spawn(io, accept(), asio::detached);
  return true;
}

void PreviewServer::stop() {
  if (!acceptor_) return;
  error_code ec;
  acceptor_->close(ec);
  acceptor_.reset();
}

awaitable<void> PreviewServer::accept() {
  for (;;) {
    error_code ec;
    tcp::socket socket = co_await acceptor_->async_accept(awaitWith(ec));
    if (ec == asio::error::operation_aborted || ec == asio::error::bad_descriptor) co_return;
    if (ec) continue;
    asio::co_spawn(acceptor_->get_executor(), session(std::move(socket)), asio::detached);
  }
}

awaitable<void> PreviewServer::session(tcp::socket socket) {
  beast::tcp_stream stream(std::move(socket));
  beast::flat_buffer buffer;
  for (;;) {
    error_code ec;
    stream.expires_after(kClientTimeout);
    http::request_parser<http::empty_body> parser;
    parser.header_limit(16 * 1024);
    co_await http::async_read(stream, buffer, parser, awaitWith(ec));
    if (ec) break;
    const auto& request = parser.get();
    const std::string target(request.target());
    const std::string host(request[http::field::host]);
    const std::string path = target.substr(0, target.find('?'));
    Reply reply;
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      reply = textReply(http::status::method_not_allowed, "The preview answers GET only.\n");
      reply.fields.emplace_back("Allow", "GET, HEAD");
    } else if (path == "/") {
      const std::size_t q = target.find('?');
      reply =
          co_await grid(q == std::string::npos ? "" : std::string_view(target).substr(q + 1), host);
    } else if (path.rfind(kPicturePrefix, 0) == 0) {
      reply = picture(std::atoi(path.c_str() + kPicturePrefix.size()));
    } else {
      reply = co_await proxy(target, host, std::string(request[http::field::user_agent]),
                             request["Sec-Fetch-Mode"] == "navigate");
    }
    http::response<http::string_body> response{reply.status, 11};
    response.set(http::field::content_type, reply.contentType);
    response.set("X-Content-Type-Options", "nosniff");
    for (auto& [name, value] : reply.fields) response.set(name, value);
    response.body() = std::move(reply.body);
    response.keep_alive(request.keep_alive());
    response.prepare_payload();
    if (request.method() == http::verb::head) response.body().clear();
    stream.expires_after(kClientTimeout);
    co_await http::async_write(stream, response, awaitWith(ec));
    if (ec || !response.keep_alive()) break;
  }
  error_code ignored;
  stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
}

awaitable<Reply> PreviewServer::grid(std::string_view query, const std::string& host) {
  GridContext context;
  context.path = queryValue(query, "path").value_or("/");
  context.listen = listen_;
  context.loopback = loopback_;
  context.behind = options_.behind;
  context.module = site_.module().path();
  context.pictures = options_.pictures;
  const std::string path = context.path.substr(0, context.path.find('#'));
  std::vector<PreviewColumn> columns;
  if (path.empty() || path.front() != '/' || path.rfind("//", 0) == 0) {
    context.problem = "A path starts with one \"/\", such as /index.tm.";
  } else {
    const std::string target = percentEncode(path, "");
    for (const PreviewAgent& agent : options_.agents) {
      PreviewColumn column;
      column.agent = agent;
      column.target = target;
      // Named first: GCC 12 frees a braced temporary in a co_await twice.
      SiteRequest request{target, host.empty() ? "localhost" : host, agent.userAgent};
      column.response = co_await site_.fetch(std::move(request));
      examineColumn(settings_, column);
      columns.push_back(std::move(column));
    }
  }
  Reply reply;
  reply.contentType = "text/html; charset=utf-8";
  reply.body = gridPage(context, columns);
  reply.fields.emplace_back("Cache-Control", "no-store");
  reply.fields.emplace_back("Content-Security-Policy", kPolicy);
  co_return reply;
}

awaitable<Reply> PreviewServer::proxy(const std::string& target, const std::string& host,
                                      const std::string& userAgent, bool navigation) {
  if (navigation) {
    // A link followed in a frame: show the linked page in every column.
    Reply reply;
    reply.status = http::status::see_other;
    reply.fields.emplace_back("Location", "/?path=" + percentEncode(target, "%&+#"));
    co_return reply;
  }
  SiteRequest request{target, host.empty() ? "localhost" : host, userAgent};
  SiteResponse response = co_await site_.fetch(std::move(request));
  if (!response.error.empty())
    co_return textReply(http::status::bad_gateway, "No response from the site: " + response.error);
  const std::string path = target.substr(0, target.find('?'));
  if (response.status == 404) {
    // The image emoji of a site that has no pictures of its own.
    for (const auto& [prefix, suffix] : templates_) {
      if (path.size() <= prefix.size() + suffix.size() || path.rfind(prefix, 0) != 0 ||
          path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
        continue;
      const std::string digits =
          path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
      if (digits.find_first_not_of("0123456789") == std::string::npos)
        co_return picture(std::atoi(digits.c_str()));
    }
  }
  Reply reply;
  reply.status = static_cast<http::status>(response.status);
  reply.contentType.clear();
  for (const Header& h : response.headers)
    if (iequalsAscii(h.name, "Content-Type")) reply.contentType = h.value;
  if (reply.contentType.empty()) reply.contentType = "application/octet-stream";
  reply.body = std::move(response.body);
  // Whatever the site sends is the site's: never active in the preview's origin.
  reply.fields.emplace_back("Content-Security-Policy", "sandbox");
  co_return reply;
}

Reply PreviewServer::picture(int number) const {
  Reply reply;
  reply.fields.emplace_back("Cache-Control", "max-age=300");
  static const std::pair<const char*, const char*> kKinds[] = {
      {".svg", "image/svg+xml"}, {".png", "image/png"}, {".gif", "image/gif"}};
  char padded[16];
  std::snprintf(padded, sizeof padded, "%03d", number);
  if (!options_.pictures.empty() && number > 0) {
    for (const auto& [extension, type] : kKinds) {
      if (readWhole(options_.pictures + "/" + padded + extension, reply.body)) {
        reply.contentType = type;
        return reply;
      }
    }
  }
  reply.contentType = "image/svg+xml";
  reply.body = numberedSquare(number);
  return reply;
}

}  // namespace vantomer::host
