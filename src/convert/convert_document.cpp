#include "convert/convert_document.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/markup_handlers.h"
#include "emoji/render_emoji.h"
#include "http/content_type.h"
#include "http/header_map.h"
#include "platform/codepage.h"

namespace vantomer {
namespace {

// The elements the steps work on, gathered in one walk of the tree before
// the first step.
enum CandidateList : std::size_t { kEmojis, kCarriers, kFormFields, kMarquees };

const std::vector<dom::ElementName>& candidateNames() {
  static const std::vector<dom::ElementName> names = {{"k-emoji", kEmojis},
                                                      {"k-carrier", kCarriers},
                                                      {"input", kFormFields},
                                                      {"textarea", kFormFields},
                                                      {"marquee", kMarquees}};
  return names;
}

struct ConversionStep {
  CandidateList list;
  std::string_view attribute;  // the elements must carry it; empty: any
  NodeHandler handler;         // none: the emoji step, which also needs the table
  // Only the k-carrier step drops a node that gets no replacement.
  bool removeWithoutReplacement;
};

constexpr ConversionStep kEmojiStep{kEmojis, {}, nullptr, false};
constexpr ConversionStep kCarrierStep{kCarriers, {}, ConvertKCarrier, true};
constexpr ConversionStep kModeStep{kFormFields, "k-mode", ConvertKMode, false};
constexpr ConversionStep kMarqueeStep{kMarquees, {}, ConvertMarquee, false};
constexpr ConversionStep kIStyleStep{kFormFields, "istyle", ConvertIStyle, false};

HRESULT runStep(const ConversionStep& step, const OutputCoordinator& profile,
                const EmojiTable& emoji, dom::Document& document,
                const std::vector<std::vector<dom::Node>>& candidates) {
  // The step's nodes are those a selection made now would find: the
  // candidates still in the tree (earlier steps drop some) that now carry the
  // attribute (the k-mode step gives istyle). No step makes an element that a
  // later one looks for, and none changes the order of the others. The
  // snapshot's length is fixed here: nodes the step creates are not visited.
  std::vector<dom::Node> nodes;
  try {
    for (const dom::Node& node : candidates[step.list]) {
      if (node.inDocument() && (step.attribute.empty() || node.hasAttribute(step.attribute)))
        nodes.push_back(node);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  HRESULT outcome = S_OK;
  for (std::size_t i = 0; i < nodes.size() && succeeded(outcome); ++i) {
    const dom::Node node = nodes[i];
    dom::Node replacement;
    outcome = step.handler ? step.handler(profile, document, node, replacement)
                           : renderEmoji(profile, emoji, document, node, replacement);
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

HRESULT ConvertDocument(const OutputCoordinator& profile, const EmojiTable& emoji,
                        HeldResponse& response, ResponseBody& body, dom::Document& document) {
  std::vector<std::vector<dom::Node>> candidates;
  HRESULT result = document.collectElements(candidateNames(), candidates);
  if (failed(result)) return result;
  // A failure in the emoji or k-carrier step only ends that step.
  (void)runStep(kEmojiStep, profile, emoji, document, candidates);
  (void)runStep(kCarrierStep, profile, emoji, document, candidates);
  result = runStep(kModeStep, profile, emoji, document, candidates);
  if (succeeded(result) && profile.iXHTML) {
    (void)runStep(kMarqueeStep, profile, emoji, document, candidates);
    result = runStep(kIStyleStep, profile, emoji, document, candidates);
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
