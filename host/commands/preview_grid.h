#pragma once
// The preview's one page: the path field and one column per User-Agent.

#include <cstdint>
#include <string>
#include <vector>

#include "commands/preview_analysis.h"
#include "commands/preview_site.h"

namespace vantomer::host {

struct PreviewAgent {
  std::string label;
  std::string userAgent;
  std::uint64_t maxBytes = 0;
};

// What one handset received, and what the preview found in it.
struct PreviewColumn {
  PreviewAgent agent;
  std::string target;  // path and query fetched
  SiteResponse response;
  ProfileChoice choice;
  std::string contentType;  // as received
  std::string text;         // the body decoded to UTF-8
  std::string frame;        // the page for the frame
  std::vector<std::string> keyLinks;
  std::vector<PreviewWarning> warnings;
};

struct GridContext {
  std::string path;      // as typed
  std::string problem;   // why the path was not fetched, or empty
  std::string listen;    // ADDR:PORT the preview listens on
  bool loopback = true;  // only this machine can connect
  std::string behind;    // the directory or upstream
  std::string module;    // the module's path
  std::string pictures;  // the emoji pictures' folder, or empty
};

// Fills the decoded text, the frame and the warnings of a fetched column.
void examineColumn(const PreviewSettings& settings, PreviewColumn& column);

std::string gridPage(const GridContext& context, const std::vector<PreviewColumn>& columns);

}  // namespace vantomer::host
