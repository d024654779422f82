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

// The wrapper that owns the node's libxml2 document, or null.
Document* ownerOf(const xmlNode* node);

// Whether (ns, name) spells the qualified name "prefix:local" or "local".
bool qnameIs(const xmlNs* ns, const xmlChar* name, std::string_view qname);
void appendQName(std::string& out, const xmlNs* ns, const xmlChar* name);
xmlAttr* findAttribute(const xmlNode* element, std::string_view qname);

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
HRESULT select(xmlNode* context, std::string_view pattern, std::vector<Node>& out,
               std::size_t limit);

}  // namespace vantomer::dom::detail
