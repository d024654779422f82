// Node selection. The patterns the filter itself uses (an element name,
// "//name", "//name[@attr]" and unions of them) are matched by a direct walk
// of the tree; anything else goes to libxml2's XPath. Elements are matched
// by qualified name, so an element in a default namespace is found by its
// bare name.

#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <new>

#include "platform/dom.h"
#include "platform/dom_internal.h"
#include "platform/xml_owners.h"

namespace vantomer::dom {
namespace detail {
namespace {

struct Step {
  bool anywhere = false;  // "//name" rather than a child name
  std::string_view name;
  std::string_view attribute;  // empty: no attribute test
};

bool isNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

bool isNameChar(unsigned char c) {
  return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// A name without wildcards, axes or functions: "local" or "prefix:local".
bool isPlainQName(std::string_view s) {
  size_t colon = s.find(':');
  auto ncname = [](std::string_view part) {
    if (part.empty() || !isNameStart(static_cast<unsigned char>(part[0]))) return false;
    for (char c : part) {
      if (!isNameChar(static_cast<unsigned char>(c))) return false;
    }
    return true;
  };
  if (colon == std::string_view::npos) return ncname(s);
  return ncname(s.substr(0, colon)) && ncname(s.substr(colon + 1));
}

std::string_view trimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool parseStep(std::string_view text, Step& step) {
  text = trimBlanks(text);
  if (text.substr(0, 2) == "//") {
    step.anywhere = true;
    text.remove_prefix(2);
    if (text.size() > 4 && text.back() == ']') {
      size_t open = text.find("[@");
      if (open == std::string_view::npos) return false;
      step.attribute = text.substr(open + 2, text.size() - open - 3);
      if (!isPlainQName(step.attribute)) return false;
      text = text.substr(0, open);
    }
  }
  step.name = text;
  return isPlainQName(step.name);
}

bool parsePattern(std::string_view pattern, std::vector<Step>& steps) {
  for (;;) {
    size_t bar = pattern.find('|');
    Step step;
    if (!parseStep(pattern.substr(0, bar), step)) return false;
    steps.push_back(step);
    if (bar == std::string_view::npos) return true;
    pattern.remove_prefix(bar + 1);
  }
}

bool matches(const xmlNode* element, const Step& step) {
  if (!qnameIs(element->ns, element->name, step.name)) return false;
  return step.attribute.empty() || findAttribute(element, step.attribute) != nullptr;
}

[[nodiscard]] HRESULT selectFast(xmlNode* context, const std::vector<Step>& steps,
                                 std::vector<Node>& out, size_t limit) {
  bool anyChildStep = false;
  bool anyDeepStep = false;
  for (const Step& step : steps) (step.anywhere ? anyDeepStep : anyChildStep) = true;
  auto full = [&] { return limit != 0 && out.size() >= limit; };
  auto matchChild = [&](const xmlNode* e) {
    for (const Step& step : steps) {
      if (!step.anywhere && matches(e, step)) return true;
    }
    return false;
  };
  auto matchDeep = [&](const xmlNode* e) {
    for (const Step& step : steps) {
      if (step.anywhere && matches(e, step)) return true;
    }
    return false;
  };
  bool childrenWalked = false;
  if (anyDeepStep && context->doc != nullptr) {
    // One walk in document order serves every step, so the union comes out
    // ordered and without duplicates.
    xmlNode* root = reinterpret_cast<xmlNode*>(context->doc);
    childrenWalked = !anyChildStep || inDocumentTree(context);
    xmlNode* cur = root->children;
    while (cur != nullptr && !full()) {
      if (cur->type == XML_ELEMENT_NODE &&
          (matchDeep(cur) || (anyChildStep && cur->parent == context && matchChild(cur)))) {
        out.emplace_back(cur);
      }
      if (cur->type == XML_ELEMENT_NODE && cur->children != nullptr) {
        cur = cur->children;
        continue;
      }
      while (cur != root && cur->next == nullptr) cur = cur->parent;
      if (cur == root) break;
      cur = cur->next;
    }
  }
  if (anyChildStep && !childrenWalked) {
    // The context stands outside the document tree; its children follow.
    if (context->type == XML_ENTITY_REF_NODE) return S_OK;
    for (xmlNode* c = context->children; c != nullptr && !full(); c = c->next) {
      if (c->type == XML_ELEMENT_NODE && matchChild(c)) out.emplace_back(c);
    }
  }
  return S_OK;
}

void ignoreXPathError(void*, xmlError*) {}

[[nodiscard]] HRESULT selectXPath(xmlNode* context, std::string_view pattern,
                                  std::vector<Node>& out, size_t limit) {
  std::string expression(pattern);
  if (expression.find('\0') != std::string::npos) return E_INVALIDARG;
  xmlDoc* doc = (context->type == XML_DOCUMENT_NODE || context->type == XML_HTML_DOCUMENT_NODE)
                    ? reinterpret_cast<xmlDoc*>(context)
                    : context->doc;
  xml::XPathContextPtr xpath(xmlXPathNewContext(doc));
  if (xpath == nullptr) return E_OUTOFMEMORY;
  xpath->node = context;
  // Per-context handler: errors must not reach stderr or a global handler.
  xpath->error = ignoreXPathError;
  // Compiled, then run: xmlXPathEval frees its context twice when its value
  // stack cannot be allocated.
  xml::XPathObjectPtr result;
  xml::XPathExpressionPtr compiled(
      xmlXPathCtxtCompile(xpath.get(), reinterpret_cast<const xmlChar*>(expression.c_str())));
  if (compiled != nullptr) result.reset(xmlXPathCompiledEval(compiled.get(), xpath.get()));
  if (result == nullptr) {
    // A bad expression is reported; a silent failure is a failed allocation.
    const int code = xpath->lastError.code;
    bool outOfMemory =
        code == XML_ERR_NO_MEMORY || code == XML_XPATH_MEMORY_ERROR || code == XML_ERR_OK;
    return outOfMemory ? E_OUTOFMEMORY : E_INVALIDARG;
  }
  if (result->type != XPATH_NODESET) return E_INVALIDARG;
  if (xmlNodeSet* set = result->nodesetval) {
    xmlXPathNodeSetSort(set);
    try {
      for (int i = 0; i < set->nodeNr && (limit == 0 || out.size() < limit); ++i) {
        // Namespace nodes are copies owned by the result; they cannot outlive it.
        if (set->nodeTab[i]->type == XML_NAMESPACE_DECL) continue;
        out.emplace_back(set->nodeTab[i]);
      }
    } catch (const std::bad_alloc&) {
      out.clear();
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

}  // namespace

bool inDocumentTree(const xmlNode* node) {
  while (node->parent != nullptr) node = node->parent;
  return node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE;
}

void collectElements(xmlDoc* doc, const std::vector<ElementName>& names,
                     std::vector<std::vector<Node>>& lists) {
  xmlNode* root = reinterpret_cast<xmlNode*>(doc);
  xmlNode* cur = root->children;
  while (cur != nullptr) {
    if (cur->type == XML_ELEMENT_NODE) {
      for (const ElementName& n : names) {
        if (qnameIs(cur->ns, cur->name, n.qname)) {
          lists[n.list].emplace_back(cur);
          break;
        }
      }
      if (cur->children != nullptr) {
        cur = cur->children;
        continue;
      }
    }
    while (cur != root && cur->next == nullptr) cur = cur->parent;
    if (cur == root) break;
    cur = cur->next;
  }
}

HRESULT select(xmlNode* context, std::string_view pattern, std::vector<Node>& out, size_t limit) {
  std::vector<Step> steps;
  if (parsePattern(pattern, steps)) return selectFast(context, steps, out, limit);
  return selectXPath(context, pattern, out, limit);
}

}  // namespace detail

HRESULT Node::selectNodes(std::string_view pattern, std::vector<Node>& out) const {
  out.clear();
  if (node_ == nullptr) return E_POINTER;
  try {
    return detail::select(node_, pattern, out, 0);
  } catch (const std::bad_alloc&) {
    out.clear();
    return E_OUTOFMEMORY;
  }
}

HRESULT Node::selectSingleNode(std::string_view pattern, Node& out) const {
  out = Node();
  if (node_ == nullptr) return E_POINTER;
  std::vector<Node> found;
  try {
    HRESULT hr = detail::select(node_, pattern, found, 1);
    if (failed(hr)) return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (found.empty()) return S_FALSE;
  out = found.front();
  return S_OK;
}

HRESULT Document::selectNodes(std::string_view pattern, std::vector<Node>& out) const {
  out.clear();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  return Node(reinterpret_cast<xmlNode*>(doc_.get())).selectNodes(pattern, out);
}

HRESULT Document::collectElements(const std::vector<ElementName>& names,
                                  std::vector<std::vector<Node>>& lists) const {
  try {
    std::size_t count = 0;
    for (const ElementName& n : names) count = std::max(count, n.list + 1);
    lists.resize(count);
    for (auto& list : lists) list.clear();
    if (doc_ == nullptr) return E_OUTOFMEMORY;
    detail::collectElements(doc_.get(), names, lists);
    return S_OK;
  } catch (const std::bad_alloc&) {
    for (auto& list : lists) list.clear();
    return E_OUTOFMEMORY;
  }
}

HRESULT Document::selectSingleNode(std::string_view pattern, Node& out) const {
  out = Node();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  return Node(reinterpret_cast<xmlNode*>(doc_.get())).selectSingleNode(pattern, out);
}

}  // namespace vantomer::dom
