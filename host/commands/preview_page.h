#pragma once
// One handset's page made drawable in a desktop browser: carrier emoji codes
// become their pictures, links and forms that carry the stock key are
// marked, and relative addresses resolve against the page's own path.

#include <string>
#include <string_view>
#include <vector>

#include "commands/preview_analysis.h"

namespace vantomer::host {

// Where the preview serves the picture of an emoji number.
inline constexpr std::string_view kPicturePrefix = "/~preview/picture/";

struct HandsetPage {
  std::string html;                   // the page for the frame (not yet escaped for srcdoc)
  std::vector<std::string> keyLinks;  // href and action values that carry the key
  std::vector<PreviewWarning> warnings;
};

// page: the handset's body decoded to UTF-8; base: the path and query it
// was fetched with.
HandsetPage makeHandsetPage(const PreviewSettings& settings, const ProfileChoice& choice,
                            std::string_view page, std::string_view base);

// Text for HTML content and double-quoted attribute values.
std::string escapeHtml(std::string_view text);

// A numbered square, the picture of an emoji that has none of its own.
std::string numberedSquare(int number);

}  // namespace vantomer::host
