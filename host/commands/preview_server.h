#pragma once
// The preview's own HTTP listener: the grid at /, the emoji pictures, and
// every other path handed to the site, so that the addresses inside a
// handset's page (images, links) reach the site through the preview.

#include <memory>
#include <string>
#include <vector>

#include "commands/preview_analysis.h"
#include "commands/preview_grid.h"
#include "commands/preview_site.h"

namespace vantomer::host {

struct PreviewOptions {
  std::string listenHost = "127.0.0.1";
  unsigned listenPort = 8090;
  std::vector<PreviewAgent> agents;
  std::string pictures;  // folder of NNN.svg, NNN.png or NNN.gif; empty: none
  std::string behind;    // for the page: what the site serves
};

class PreviewServer {
 public:
  PreviewServer(PreviewOptions options, const PreviewSettings& settings, PreviewSite& site);
  ~PreviewServer();
  // Starts listening; false with a message when it cannot.
  bool listen(asio::io_context& io, std::string& error);
  // The address in the form a browser takes.
  const std::string& url() const { return url_; }
  void stop();

  struct Reply;

 private:
  awaitable<void> accept();
  awaitable<void> session(tcp::socket socket);
  awaitable<Reply> grid(std::string_view query, const std::string& host);
  awaitable<Reply> proxy(const std::string& target, const std::string& host,
                         const std::string& userAgent, bool navigation);
  Reply picture(int number) const;

  PreviewOptions options_;
  const PreviewSettings& settings_;
  PreviewSite& site_;
  std::vector<std::pair<std::string, std::string>> templates_;  // around %num%
  std::unique_ptr<tcp::acceptor> acceptor_;
  std::string listen_;
  std::string url_;
  bool loopback_ = true;
};

}  // namespace vantomer::host
