#include "commands/preview_page.h"

#include <cstdio>

namespace vantomer::host {

namespace {

// Styles the frame adds to every page: pictures at the text's size, the
// stock key made visible.
constexpr std::string_view kFrameStyle =
    "<style>"
    "img.vt-emoji{width:1.1em;height:1.1em;vertical-align:-0.2em}"
    ".vt-unknown{display:inline-block;border:1px solid #c00;color:#c00;font:9px monospace;"
    "padding:0 1px}"
    "[data-vt-key]{outline:2px dashed #d35400;outline-offset:1px;background:#fff3e0}"
    "a[data-vt-key]::after{content:'KEY';font:bold 8px sans-serif;color:#fff;"
    "background:#d35400;border-radius:2px;padding:0 2px;margin-left:2px;vertical-align:super}"
    "form[data-vt-key]::before{content:'form carries the stock key';display:block;"
    "font:bold 9px sans-serif;color:#d35400}"
    "</style>";

bool startsWithNoCase(std::string_view text, std::size_t pos, std::string_view prefix) {
  if (text.size() - pos < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[pos + i])) != prefix[i]) return false;
  return true;
}

// The end of the markup item at pos (just past its '>'), quotes respected.
std::size_t itemEnd(std::string_view page, std::size_t pos) {
  if (page.compare(pos, 4, "<!--") == 0) {
    const std::size_t end = page.find("-->", pos + 4);
    return end == std::string_view::npos ? page.size() : end + 3;
  }
  char quote = 0;
  int depth = 0;  // a DOCTYPE's internal subset may hold '>'
  for (std::size_t i = pos + 1; i < page.size(); ++i) {
    const char c = page[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      depth = depth > 0 ? depth - 1 : 0;
    } else if (c == '>' && depth == 0) {
      return i + 1;
    }
  }
  return page.size();
}

// Where the frame's own markup goes: after the XML declaration, DOCTYPE and
// comments that open the page.
std::size_t prologEnd(std::string_view page) {
  std::size_t pos = 0;
  for (;;) {
    while (pos < page.size() && std::isspace(static_cast<unsigned char>(page[pos]))) ++pos;
    if (pos + 1 >= page.size() || page[pos] != '<' ||
        (page[pos + 1] != '?' && page[pos + 1] != '!'))
      return pos;
    pos = itemEnd(page, pos);
  }
}

// The value of a double- or single-quoted attribute of a start tag.
bool attributeValue(std::string_view tag, std::string_view name, std::string& value) {
  for (std::size_t pos = 1; pos + name.size() + 1 < tag.size(); ++pos) {
    if (!std::isspace(static_cast<unsigned char>(tag[pos - 1])) ||
        !startsWithNoCase(tag, pos, name) || tag[pos + name.size()] != '=')
      continue;
    const std::size_t open = pos + name.size() + 1;
    const char quote = tag[open];
    if (quote != '"' && quote != '\'') return false;
    const std::size_t close = tag.find(quote, open + 1);
    if (close == std::string_view::npos) return false;
    value = std::string(tag.substr(open + 1, close - open - 1));
    return true;
  }
  return false;
}

// A start tag of a link or form whose address carries the key gets a mark.
void copyTag(std::string_view tag, const PreviewSettings& settings, HandsetPage& out) {
  std::size_t nameEnd = 1;
  while (nameEnd < tag.size() && std::isalnum(static_cast<unsigned char>(tag[nameEnd]))) ++nameEnd;
  const std::string_view name = tag.substr(1, nameEnd - 1);
  const char* attribute = name.size() == 1 && startsWithNoCase(name, 0, "a")      ? "href"
                          : name.size() == 4 && startsWithNoCase(name, 0, "form") ? "action"
                                                                                  : nullptr;
  std::string value;
  if (attribute && !settings.markLeft().empty() && attributeValue(tag, attribute, value)) {
    const std::size_t left = value.find(settings.markLeft());
    const std::size_t right =
        left == std::string::npos
            ? std::string::npos
            : value.find(settings.markRight(), left + settings.markLeft().size());
    if (right != std::string::npos) {
      const std::size_t from = left + settings.markLeft().size();
      out.keyLinks.push_back(value);
      out.html.append(tag.substr(0, nameEnd));
      out.html += " data-vt-key=\"" + escapeHtml(value.substr(from, right - from)) + "\"";
      out.html.append(tag.substr(nameEnd));
      return;
    }
  }
  out.html.append(tag);
}

// A character of the private-use area at pos (three bytes of UTF-8), or 0.
unsigned privateUse(std::string_view text, std::size_t pos) {
  if (pos + 3 > text.size()) return 0;
  const unsigned char a = text[pos], b = text[pos + 1], c = text[pos + 2];
  if ((a & 0xF0) != 0xE0 || (b & 0xC0) != 0x80 || (c & 0xC0) != 0x80) return 0;
  const unsigned value = ((a & 0x0F) << 12) | ((b & 0x3F) << 6) | (c & 0x3F);
  return value >= 0xE000 && value <= 0xF8FF ? value : 0;
}

void copyText(std::string_view text, const PreviewSettings& settings, const ProfileChoice& choice,
              HandsetPage& out, std::vector<unsigned>& unknown) {
  for (std::size_t pos = 0; pos < text.size();) {
    const unsigned code = choice.emojiType >= 2 ? privateUse(text, pos) : 0;
    if (!code) {
      out.html += text[pos++];
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", code);
    const int number = settings.emojiNumber(choice.emojiType, text.substr(pos, 3));
    if (number > 0) {
      const std::string comment = settings.emojiComment(number);
      out.html += "<img class=\"vt-emoji\" src=\"" + std::string(kPicturePrefix) +
                  std::to_string(number) + "\" alt=\"" + escapeHtml(comment) + "\" title=\"emoji " +
                  std::to_string(number) + " " + escapeHtml(comment) + " (" + choice.family +
                  " U+" + hex + ")\">";
    } else {
      unknown.push_back(code);
      out.html += "<span class=\"vt-unknown\" title=\"U+" + std::string(hex) + ": no " +
                  choice.family + " emoji of Emoji.setting\">" + hex + "</span>";
    }
    pos += 3;
  }
}

}  // namespace

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string numberedSquare(int number) {
  const std::string text = std::to_string(number);
  const int size = text.size() <= 2 ? 8 : text.size() == 3 ? 6 : 4;
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 "
         "16\"><rect x=\"0.5\" y=\"0.5\" width=\"15\" height=\"15\" rx=\"2\" fill=\"#fff4d6\" "
         "stroke=\"#b08000\"/><text x=\"8\" y=\"" +
         std::to_string(8 + size * 3 / 8) + "\" font-family=\"sans-serif\" font-size=\"" +
         std::to_string(size) + "\" text-anchor=\"middle\" fill=\"#6b4e00\">" + text +
         "</text></svg>";
}

HandsetPage makeHandsetPage(const PreviewSettings& settings, const ProfileChoice& choice,
                            std::string_view page, std::string_view base) {
  HandsetPage out;
  out.html.reserve(page.size() + page.size() / 4 + kFrameStyle.size() + 256);
  const std::size_t prolog = prologEnd(page);
  out.html.append(page.substr(0, prolog));
  out.html += "<base href=\"" + escapeHtml(base) + "\" target=\"_top\">";
  out.html.append(kFrameStyle);
  std::vector<unsigned> unknown;
  for (std::size_t pos = prolog; pos < page.size();) {
    if (page[pos] == '<') {
      const std::size_t end = itemEnd(page, pos);
      copyTag(page.substr(pos, end - pos), settings, out);
      pos = end;
      continue;
    }
    const std::size_t next = std::min(page.find('<', pos), page.size());
    copyText(page.substr(pos, next - pos), settings, choice, out, unknown);
    pos = next;
  }
  if (!unknown.empty()) {
    std::string codes;
    for (std::size_t i = 0; i < unknown.size() && i < 12; ++i) {
      char hex[12];
      std::snprintf(hex, sizeof hex, "%sU+%04X", i ? ", " : "", unknown[i]);
      codes += hex;
    }
    out.warnings.push_back({"emoji", "private-use characters that are no " + choice.family +
                                         " emoji of Emoji.setting: " + codes});
  }
  return out;
}

}  // namespace vantomer::host
