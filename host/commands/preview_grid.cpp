#include "commands/preview_grid.h"

#include "commands/preview_page.h"

namespace vantomer::host {

namespace {

constexpr std::string_view kStyle =
    "body{margin:0;font:14px/1.4 system-ui,sans-serif;color:#222;background:#eef0f3}"
    "header{padding:10px 16px;background:#fff;border-bottom:1px solid #ccd}"
    "header form{display:flex;gap:8px;align-items:center}"
    "#path{flex:1;max-width:40em;font:15px monospace;padding:4px 6px}"
    ".where{margin:6px 0 0;color:#555;font-size:12px}"
    ".problem{color:#b00;font-weight:bold}"
    ".grid{display:flex;flex-wrap:wrap;gap:12px;padding:12px 16px;align-items:flex-start}"
    ".column{background:#fff;border:1px solid #ccd;border-radius:6px;padding:8px;width:264px}"
    ".column h2{margin:0;font-size:16px}"
    ".ua{margin:2px 0 8px;font:11px monospace;color:#666;word-break:break-all}"
    ".frame{background:#333;border-radius:14px;padding:14px 8px;width:240px;margin:0 auto}"
    ".frame iframe{display:block;width:240px;height:360px;border:0;background:#fff}"
    "dl{display:grid;grid-template-columns:auto 1fr;gap:2px 8px;margin:10px 0 6px;font-size:12px}"
    "dt{color:#666}dd{margin:0;font-family:monospace;word-break:break-all}"
    ".profile,.keys{font-size:12px;margin:4px 0}.profile code{word-break:break-all}"
    ".keys{color:#d35400}"
    ".warnings{margin:6px 0 0;padding-left:18px;font-size:12px;color:#8a4b00}"
    ".warning.parse,.warning.filter{color:#b00}.ok{font-size:12px;color:#2a7a2a}";

bool isPage(std::string_view mediaType) {
  return mediaType == "text/html" || mediaType == "application/xhtml+xml" ||
         mediaType == "application/vnd.wap.xhtml+xml" || mediaType == "text/x-telmark";
}

std::string lowerMediaType(std::string_view contentType) {
  std::string type(contentType.substr(0, contentType.find(';')));
  while (!type.empty() && type.back() == ' ') type.pop_back();
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return type;
}

std::string charsetOf(std::string_view contentType) {
  std::string lower(contentType);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t at = lower.find("charset=");
  if (at == std::string::npos) return {};
  std::string value(contentType.substr(at + 8));
  value = value.substr(0, value.find(';'));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value;
}

int applicationStatus(std::string_view raw) {
  const std::size_t space = raw.find(' ');
  return space == std::string_view::npos ? 0
                                         : std::atoi(std::string(raw.substr(space + 1, 3)).c_str());
}

// Which code page the handset reads the body in.
int readingCodePage(const PreviewSettings& settings, const PreviewColumn& column) {
  const bool converted = column.choice.found && settings.convertible(column.response.application) &&
                         column.response.status < 500;
  if (converted) return column.choice.codePage;
  const int named = PreviewSettings::codePageOf(charsetOf(column.contentType));
  return named ? named : 65001;
}

std::string describeProfile(const ProfileChoice& choice) {
  if (!choice.found)
    return "No profile's UAPattern matches this User-Agent: the filter answers its TELMARK "
           "pages with 500.";
  std::string text = "Profile " + std::to_string(choice.index) + " of " +
                     std::to_string(choice.count) + " (" + escapeHtml(choice.family) +
                     ", code page " + std::to_string(choice.codePage) +
                     "): the first whose UAPattern <code>" + escapeHtml(choice.pattern) +
                     "</code> matches the whole User-Agent";
  if (choice.index > 1) text += "; the " + std::to_string(choice.index - 1) + " before it do not";
  text += ".";
  for (std::size_t broken : choice.brokenBefore)
    text += " The UAPattern of profile " + std::to_string(broken) +
            " is no regular expression and never matches.";
  return text;
}

void writeColumn(const PreviewColumn& c, std::size_t n, const std::string& path, std::string& out) {
  out += "<section class=\"column\" id=\"column-" + std::to_string(n) + "\">\n<h2>" +
         escapeHtml(c.agent.label) + "</h2>\n<p class=\"ua\">" + escapeHtml(c.agent.userAgent) +
         "</p>\n";
  out +=
      "<div class=\"frame\"><iframe sandbox=\"allow-top-navigation-by-user-activation\" "
      "title=\"" +
      escapeHtml(c.agent.label + ": " + path) + "\" srcdoc=\"" + escapeHtml(c.frame) +
      "\"></iframe></div>\n";
  if (c.response.error.empty()) {
    out += "<dl class=\"head\"><dt>Status</dt><dd class=\"status\">" +
           std::to_string(c.response.status) + " " + escapeHtml(c.response.reason) +
           "</dd><dt>Content-Type</dt><dd class=\"type\">" + escapeHtml(c.contentType) +
           "</dd><dt>Size</dt><dd class=\"size\">" + std::to_string(c.response.body.size()) +
           " bytes</dd></dl>\n";
  }
  out += "<p class=\"profile\">" + describeProfile(c.choice) + "</p>\n";
  if (!c.keyLinks.empty()) {
    out += "<p class=\"keys\">" + std::to_string(c.keyLinks.size()) +
           " links and forms carry the stock key (marked KEY):";
    for (const std::string& link : c.keyLinks) out += " <code>" + escapeHtml(link) + "</code>";
    out += "</p>\n";
  }
  if (c.warnings.empty()) {
    out += "<p class=\"ok\">No warnings.</p>\n";
  } else {
    out += "<ul class=\"warnings\">\n";
    for (const PreviewWarning& w : c.warnings)
      out += "<li class=\"warning " + w.kind + "\">" + escapeHtml(w.text) + "</li>\n";
    out += "</ul>\n";
  }
  out += "</section>\n";
}

}  // namespace

void examineColumn(const PreviewSettings& settings, PreviewColumn& c) {
  c.choice = settings.choose(c.agent.userAgent);
  const SiteResponse& r = c.response;
  if (!r.error.empty()) {
    c.warnings.push_back({"filter", "no response: " + r.error});
    c.frame = "<p>No response.</p>";
    return;
  }
  for (const Header& h : r.headers)
    if (iequalsAscii(h.name, "Content-Type")) c.contentType = h.value;
  if (r.status >= 500 && settings.convertible(r.application) &&
      applicationStatus(r.application) < 500)
    c.warnings.push_back({"filter", "the filter could not convert the page and answered " +
                                        std::to_string(r.status) + " " + r.reason});
  if (r.body.size() > c.agent.maxBytes)
    c.warnings.push_back({"size", std::to_string(r.body.size()) + " bytes: over the " +
                                      std::to_string(c.agent.maxBytes) +
                                      " bytes set for this column"});
  for (PreviewWarning& w : settings.examine(c.choice, r.application)) c.warnings.push_back(w);

  if (!PreviewSettings::decode(readingCodePage(settings, c), r.body, c.text))
    (void)PreviewSettings::decode(65001, r.body, c.text);
  const std::string type = lowerMediaType(c.contentType);
  if (isPage(type)) {
    HandsetPage page = makeHandsetPage(settings, c.choice, c.text, c.target);
    c.frame = std::move(page.html);
    c.keyLinks = std::move(page.keyLinks);
    for (PreviewWarning& w : page.warnings) c.warnings.push_back(w);
  } else if (type.rfind("text/", 0) == 0) {
    c.frame = "<pre style=\"white-space:pre-wrap\">" + escapeHtml(c.text) + "</pre>";
  } else {
    c.frame = "<p>" + escapeHtml(c.contentType.empty() ? "no Content-Type" : c.contentType) +
              ": no page to draw (" + std::to_string(r.body.size()) + " bytes).</p>";
  }
}

std::string gridPage(const GridContext& context, const std::vector<PreviewColumn>& columns) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      escapeHtml(context.path) + " \u2014 vantomer preview</title>\n<style>" + std::string(kStyle) +
      "</style>\n</head>\n<body>\n<header>\n";
  out +=
      "<form method=\"get\" action=\"/\"><label for=\"path\">Path</label> <input id=\"path\" "
      "name=\"path\" value=\"" +
      escapeHtml(context.path) +
      "\" autofocus spellcheck=\"false\"> <button type=\"submit\">Show</button></form>\n";
  out += "<p class=\"where\">" + escapeHtml(context.behind) + " through " +
         escapeHtml(context.module) + ". Listening on " + escapeHtml(context.listen) +
         (context.loopback ? ": only this machine can open the preview."
                           : ": other machines can open the preview too.") +
         " Emoji pictures: " +
         (context.pictures.empty() ? std::string("numbered squares (no --pictures folder).")
                                   : escapeHtml(context.pictures) +
                                         ", numbered squares where "
                                         "it has none.") +
         "</p>\n";
  if (!context.problem.empty())
    out += "<p class=\"where problem\">" + escapeHtml(context.problem) + "</p>\n";
  out += "</header>\n<main class=\"grid\">\n";
  for (std::size_t i = 0; i < columns.size(); ++i)
    writeColumn(columns[i], i + 1, context.path, out);
  out += "</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace vantomer::host
