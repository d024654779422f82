#pragma once
// Pieces shared by the DOM's source files; not for use outside the DOM.

#include <libxml/tree.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dom.h"

namespace vantomer::dom::detail {

inline std::string_view chars(const xmlChar* s) {
  return s != nullptr ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

inline bool isDocumentNode(const xmlNode* node) {
  return node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE;
}

// The libxml2 document a node belongs to; a document node is its own.
inline xmlDoc* docOf(const xmlNode* node) {
  return isDocumentNode(node) ? reinterpret_cast<xmlDoc*>(const_cast<xmlNode*>(node)) : node->doc;
}

// The wrapper that owns the node's libxml2 document, or null.
inline Document* ownerOf(const xmlNode* node) {
  if (node == nullptr) return nullptr;
  const xmlDoc* doc = docOf(node);
  return doc != nullptr ? static_cast<Document*>(doc->_private) : nullptr;
}

// Whether (ns, name) spells the qualified name "prefix:local" or "local".
bool qnameIs(const xmlNs* ns, const xmlChar* name, std::string_view qname);
void appendQName(std::string& out, const xmlNs* ns, const xmlChar* name);
xmlAttr* findAttribute(const xmlNode* element, std::string_view qname);
// Whether name may name a new element or attribute.
bool validName(const std::string& name);

// Text of a sibling list starting at first, entity references expanded.
void appendListText(std::string& out, const xmlDoc* doc, const xmlNode* first);
// Text an entity reference stands for.
void appendEntityText(std::string& out, const xmlDoc* doc, const xmlNode* ref);

// Writes the node and its subtree as XML.
void serialize(std::string& out, const xmlNode* node);

void collectElements(xmlDoc* doc, const std::vector<ElementName>& names,
                     std::vector<std::vector<Node>>& lists);
bool inDocumentTree(const xmlNode* node);

// Selection from context; limit 0 means all matches.
[[nodiscard]] HRESULT select(xmlNode* context, std::string_view pattern, std::vector<Node>& out,
                             std::size_t limit);

}  // namespace vantomer::dom::detail
