#pragma once
// vantomer preview: every handset's view of a page, side by side, in a
// desktop browser.

#include <string>
#include <vector>

namespace vantomer::host {

// The exit status.
int previewCommand(std::vector<std::string> args);

extern const char* const kPreviewHelp;

}  // namespace vantomer::host
