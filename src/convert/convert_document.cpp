#include "convert/convert_document.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/markup_handlers.h"
#include "cookie/cookie_imitation.h"
#include "emoji/render_emoji.h"
#include "filter/content_type.h"
#include "filter/header_map.h"
#include "filter/process_objects.h"
#include "platform/codepage.h"

namespace vantomer {
namespace {

HRESULT RenderKEmoji(const OutputCoordinator& profile, dom::Document& document, dom::Node node,
                     dom::Node& replacement) {
  return renderEmoji(profile, emojiTable(), document, node, replacement);
}

struct ConversionStep {
  std::string_view pattern;
  NodeHandler handler;
  // Only the k-carrier step drops a node that gets no replacement.
  bool removeWithoutReplacement;
};

constexpr ConversionStep kEmojiStep{"//k-emoji", RenderKEmoji, false};
constexpr ConversionStep kCarrierStep{"//k-carrier", ConvertKCarrier, true};
constexpr ConversionStep kModeStep{"//input[@k-mode]|//textarea[@k-mode]", ConvertKMode, false};
constexpr ConversionStep kMarqueeStep{"//marquee", ConvertMarquee, false};
constexpr ConversionStep kIStyleStep{"//input[@istyle]|//textarea[@istyle]", ConvertIStyle, false};

HRESULT runStep(const ConversionStep& step, const OutputCoordinator& profile,
                dom::Document& document) {
  std::vector<dom::Node> nodes;
  HRESULT outcome = document.selectNodes(step.pattern, nodes);
  // The snapshot's length is fixed here: nodes the step creates are not
  // visited.
  for (std::size_t i = 0; i < nodes.size() && succeeded(outcome); ++i) {
    const dom::Node node = nodes[i];
    dom::Node replacement;
    outcome = step.handler(profile, document, node, replacement);
    if (outcome != S_OK) continue;
    if (replacement == node) continue;  // changed in place
    dom::Node parent = node.parentNode();
    if (!replacement && step.removeWithoutReplacement) {
      outcome = parent.removeChild(node);
    } else {
      outcome = parent.replaceChild(replacement, node);
    }
    if (succeeded(outcome)) outcome = S_OK;
  }
  return outcome;
}

// Turns every "/>" into ">" in place.
void toHtmlMode(std::string& text) {
  std::size_t hit = text.find("/>");
  if (hit == std::string::npos) return;
  std::size_t out = hit;
  std::size_t in = hit;
  while (hit != std::string::npos) {
    if (hit != in) std::memmove(&text[out], &text[in], hit - in);
    out += hit - in;
    text[out++] = '>';
    in = hit + 2;
    hit = text.find("/>", in);
  }
  const std::size_t rest = text.size() - in;
  if (rest != 0) std::memmove(&text[out], &text[in], rest);
  text.resize(out + rest);
}

}  // namespace

HRESULT ConvertDocument(const OutputCoordinator& profile, HTTP_FILTER_CONTEXT* pfc,
                        HeldResponse& response, ResponseBody& body, dom::Document& document) {
  HRESULT result = S_OK;
  if (profile.locationCorrect) result = correctLocation(profile, pfc, response);
  if (succeeded(result) && profile.cookieImitation) {
    result = imitateCookies(profile, pfc, response, document);
  }
  if (failed(result)) return result;

  // A failure in the emoji or k-carrier step only ends that step.
  runStep(kEmojiStep, profile, document);
  runStep(kCarrierStep, profile, document);
  result = runStep(kModeStep, profile, document);
  if (succeeded(result) && profile.iXHTML) {
    runStep(kMarqueeStep, profile, document);
    result = runStep(kIStyleStep, profile, document);
  }
  if (failed(result)) return result;
  return SerializeDocument(profile, response, body, document);
}

HRESULT SerializeDocument(const OutputCoordinator& profile, HeldResponse& response,
                          ResponseBody& body, dom::Document& document) {
  dom::Node root;
  HRESULT hr = document.documentElement(root);
  if (failed(hr)) return hr;
  // A page whose root was dropped (a k-carrier for another family) has
  // nothing to serialise; that is a failure, not an empty success.
  if (!root) return E_FAIL;

  // Sized from the page as it came, so that the text seldom moves while it
  // grows: large blocks freed on the way cost more than their copies.
  std::string text;
  text.reserve(body.size() + body.size() / 4 + 256);
  root.appendXml(text);
  if (profile.htmlMode) toHtmlMode(text);

  std::string encoded;
  encoded.reserve(profile.xmlDeclaration.size() + profile.xmlDtd.size() + text.size() + 64);
  encoded += profile.xmlDeclaration;
  encoded += profile.xmlDtd;
  // A code page without a converter must not pass for an empty page.
  if (failed(codepage::encodeAppend(profile.codePage, text, encoded))) return E_FAIL;
  body = std::move(encoded);

  const auto header = findHeader(response.headers, "Content-Type");
  if (header != response.headers.end()) {
    ContentType type;
    type.parse(header->second);
    type.mediaType = profile.contentType;
    const auto charset = type.parameters.find("charset");
    if (charset != type.parameters.end()) charset->second = profile.charset;
    header->second = type.format();
  }
  return S_OK;
}

}  // namespace vantomer
