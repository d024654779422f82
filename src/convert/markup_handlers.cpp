#include "convert/markup_handlers.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace vantomer {
namespace {

std::string_view familyAttribute(EmojiType type) {
  switch (type) {
    case EmojiType::IMode:
      return "i";
    case EmojiType::EZweb:
      return "ez";
    case EmojiType::JSky:
      return "j";
    default:
      return "pc";
  }
}

bool isTrue(std::string_view value) { return text::iequals(value, "true"); }

// Moves every child of from to the end of to, in order.
HRESULT moveChildren(dom::Node from, dom::Node to) {
  for (dom::Node child = from.firstChild(); child; child = from.firstChild()) {
    const HRESULT hr = to.appendChild(child);
    if (failed(hr)) return hr;
  }
  return S_OK;
}

// An absent or unreadable attribute reads as empty.
std::string attributeOrEmpty(dom::Node element, std::string_view name) {
  std::string value;
  if (element.getAttribute(name, value) != S_OK) value.clear();
  return value;
}

}  // namespace

HRESULT ConvertKCarrier(const OutputCoordinator& profile, dom::Document& document, dom::Node node,
                        dom::Node& replacement) {
  replacement = dom::Node();
  const std::string_view family = familyAttribute(profile.emojiType);

  // The family's own attribute alone decides; without it, any other
  // attribute set to "true" claims the content for someone else.
  bool keep = true;
  std::vector<std::pair<std::string, std::string>> attributes;
  if (succeeded(node.attributes(attributes))) {
    for (const auto& [name, value] : attributes) {
      if (name == family) {
        keep = isTrue(value);
        break;
      }
      if (isTrue(value)) keep = false;
    }
  }
  if (!keep) return S_OK;  // no replacement: the step removes the element

  dom::Node fragment;
  HRESULT hr = document.createDocumentFragment(fragment);
  if (failed(hr)) return hr;
  hr = moveChildren(node, fragment);
  if (failed(hr)) return hr;
  replacement = fragment;
  return S_OK;
}

HRESULT ConvertKMode(const OutputCoordinator&, dom::Document&, dom::Node node,
                     dom::Node& replacement) {
  replacement = dom::Node();
  std::string mode;
  HRESULT hr = node.getAttribute("k-mode", mode);
  if (failed(hr)) return hr;

  std::string_view istyle;
  if (mode == "jp") {
    istyle = "1";
  } else if (mode == "en") {
    istyle = "3";
  } else if (mode == "n") {
    istyle = "4";
  }
  hr = node.removeAttribute("k-mode");
  if (failed(hr)) return hr;
  hr = node.setAttribute("istyle", istyle);
  if (failed(hr)) return hr;
  replacement = node;
  return S_OK;
}

HRESULT ConvertMarquee(const OutputCoordinator&, dom::Document& document, dom::Node node,
                       dom::Node& replacement) {
  replacement = dom::Node();
  const std::string behavior = attributeOrEmpty(node, "behavior");
  const std::string direction = attributeOrEmpty(node, "direction");
  const std::string loop = attributeOrEmpty(node, "loop");

  std::string style = "display:-wap-marquee; ";
  if (behavior == "scroll") {
    style += "-wap-marquee-style:scroll; ";
  } else if (behavior == "slide") {
    style += "-wap-marquee-style:slide; ";
  } else if (behavior == "alternate") {
    style += "-wap-marquee-style:alternate; ";
  }
  // The marquee's direction is where the text goes; WAP CSS names where it
  // comes from.
  if (direction == "left") {
    style += "-wap-marquee-dir:rtl; ";
  } else if (direction == "right") {
    style += "-wap-marquee-dir:ltr; ";
  }
  if (!loop.empty()) {
    style += "-wap-marquee-loop:";
    style += loop;
    style += "; ";
  }

  dom::Node div;
  HRESULT hr = document.createElement("div", div);
  if (failed(hr)) return hr;
  hr = div.setAttribute("style", style);
  if (failed(hr)) return hr;
  hr = moveChildren(node, div);
  if (failed(hr)) return hr;
  replacement = div;
  return S_OK;
}

HRESULT ConvertIStyle(const OutputCoordinator&, dom::Document&, dom::Node node,
                      dom::Node& replacement) {
  replacement = dom::Node();
  std::string istyle;
  HRESULT hr = node.getAttribute("istyle", istyle);
  if (failed(hr)) return hr;
  std::string style;
  hr = node.getAttribute("style", style);
  if (failed(hr)) return hr;

  if (istyle == "1") {
    style += "-wap-input-format:\"*<ja:h>\"; ";
  } else if (istyle == "2") {
    style += "-wap-input-format:\"*<ja:hk>\"; ";
  } else if (istyle == "3") {
    style += "-wap-input-format:\"*<ja:en>\"; ";
  } else if (istyle == "4") {
    style += "-wap-input-format:\"*<ja:n>\"; ";
  }
  hr = node.removeAttribute("istyle");
  if (failed(hr)) return hr;
  hr = node.setAttribute("style", style);
  if (failed(hr)) return hr;
  replacement = node;
  return S_OK;
}

}  // namespace vantomer
