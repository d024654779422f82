#include "convert/load_document.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "http/content_type.h"
#include "http/header_map.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace vantomer {
namespace {

// Code page of the body from the charset parameter of its Content-Type; 0
// (the ANSI code page) for anything but the two names we know.
int sourceCodePage(const HeldResponse& response) {
  const auto header = findHeader(response.headers, "Content-Type");
  if (header == response.headers.end()) return 0;
  ContentType type;
  type.parse(header->second);
  const auto charset = type.parameters.find("charset");
  if (charset == type.parameters.end()) return 0;
  if (text::iequals(charset->second, "Shift_JIS")) return 932;
  if (text::iequals(charset->second, "UTF-8")) return 65001;
  return 0;
}

// Escapes & < > and double quotes in one pass; the same as replacing them
// one after another, & first.
void appendEscaped(std::string& out, std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* entity = nullptr;
    switch (text[i]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      default:
        continue;
    }
    out.append(text, start, i - start);
    out += entity;
    start = i + 1;
  }
  out.append(text, start, std::string_view::npos);
}

std::string detailedErrorPage(const dom::ParseError& error, std::string_view source) {
  std::string page;
  page.reserve(source.size() + source.size() / 8 + error.reason.size() + 96);
  page += "<html><body><div>";
  appendEscaped(page, error.reason);
  page += "[line:";
  page += std::to_string(error.line);
  page += "]</div><hr/><pre>";
  appendEscaped(page, source);
  page += "</pre></body></html>";
  return page;
}

HRESULT loadErrorPage(const InputCoordinator& input, std::string_view source,
                      dom::Document& document) {
  std::string detailed;
  std::string_view page = input.errorSource;
  if (page.empty()) {
    detailed = detailedErrorPage(document.parseError(), source);
    page = detailed;
  }
  const HRESULT hr = document.loadXML(page);
  if (failed(hr)) return hr;
  return hr == S_OK ? S_FALSE : E_FAIL;
}

// Puts each configured icon directly before its anchor, inside the anchor's
// parent.
HRESULT insertAccesskeyIcons(const InputCoordinator& input, dom::Document& document) {
  if (input.accesskeyIcons.empty()) return S_OK;
  std::vector<dom::Node> anchors;
  HRESULT hr = document.selectNodes("//a[@accesskey]", anchors);
  if (failed(hr)) return hr;

  std::string key;
  for (dom::Node anchor : anchors) {
    hr = anchor.getAttribute("accesskey", key);
    if (failed(hr)) return hr;
    const auto icon = input.accesskeyIcons.find(key);
    if (icon == input.accesskeyIcons.end()) continue;

    dom::Node node;
    if (!icon->second.emoji.empty()) {
      hr = document.createElement("k-emoji", node);
      if (failed(hr)) return hr;
      hr = node.setAttribute("num", icon->second.emoji);
      if (failed(hr)) return hr;
    } else if (!icon->second.text.empty()) {
      hr = document.createTextNode(icon->second.text, node);
      if (failed(hr)) return hr;
    } else {
      continue;
    }
    hr = anchor.parentNode().insertBefore(node, anchor);
    if (failed(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT LoadDocument(const InputCoordinator& input, const HeldResponse& response,
                     const ResponseBody& body, dom::Document& document) {
  // The body counts up to its first NUL byte.
  const void* nul = std::memchr(body.data(), '\0', body.size());
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - body.data()) : body.size();

  // The DOCTYPE goes in front with no separator, so line numbers in parse
  // errors count the body's own lines; the body is decoded in after it, with
  // room for text that grows in decoding.
  std::string source;
  source.reserve(input.docType.size() + length + length / 2 + 64);
  source += input.docType;
  HRESULT hr = codepage::decodeAppend(sourceCodePage(response),
                                      std::string_view(body.data(), length), source);
  if (failed(hr)) return hr;

  document.setPreserveWhiteSpace(true);
  hr = document.loadXML(source);
  if (failed(hr)) return hr;
  if (hr == S_OK) return insertAccesskeyIcons(input, document);
  return loadErrorPage(input, source, document);
}

}  // namespace vantomer
