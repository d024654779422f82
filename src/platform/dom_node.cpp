// Nodes as the conversion reads them: names, navigation, text and
// attributes. Entity references are expanded wherever text is read.

#include <libxml/entities.h>
#include <libxml/tree.h>

#include <climits>
#include <new>

#include "platform/dom.h"
#include "platform/dom_internal.h"

namespace vantomer::dom {
namespace detail {
namespace {

// Whole-string comparison of a C string with a view, without strlen.
bool equalsC(const xmlChar* s, std::string_view q) {
  if (s == nullptr) return q.empty();
  for (char c : q) {
    if (*s == 0 || *s != static_cast<unsigned char>(c)) return false;
    ++s;
  }
  return *s == 0;
}

}  // namespace

bool qnameIs(const xmlNs* ns, const xmlChar* name, std::string_view qname) {
  if (ns != nullptr && ns->prefix != nullptr) {
    size_t i = 0;
    for (const xmlChar* p = ns->prefix; *p != 0; ++p, ++i) {
      if (i >= qname.size() || static_cast<unsigned char>(qname[i]) != *p) return false;
    }
    if (i >= qname.size() || qname[i] != ':') return false;
    return equalsC(name, qname.substr(i + 1));
  }
  return equalsC(name, qname);
}

void appendQName(std::string& out, const xmlNs* ns, const xmlChar* name) {
  if (ns != nullptr && ns->prefix != nullptr) {
    out += chars(ns->prefix);
    out += ':';
  }
  out += chars(name);
}

xmlAttr* findAttribute(const xmlNode* element, std::string_view qname) {
  for (xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    if (qnameIs(attr->ns, attr->name, qname)) return attr;
  }
  return nullptr;
}

namespace {

// Queues the parsed content of a referenced entity, or appends its literal
// text when it was never parsed.
void expandEntity(std::string& out, std::vector<const xmlNode*>& pending, const xmlDoc* doc,
                  const xmlNode* ref) {
  // Entity loops are refused by the parser, so expansion terminates.
  xmlEntity* entity = xmlGetDocEntity(const_cast<xmlDoc*>(doc), ref->name);
  if (entity == nullptr) return;
  if (entity->children != nullptr) {
    pending.push_back(entity->children);
  } else if (entity->etype == XML_INTERNAL_GENERAL_ENTITY ||
             entity->etype == XML_INTERNAL_PREDEFINED_ENTITY) {
    out += chars(entity->content);
  }
}

void drainText(std::string& out, const xmlDoc* doc, std::vector<const xmlNode*>& pending) {
  while (!pending.empty()) {
    const xmlNode* cur = pending.back();
    pending.pop_back();
    if (cur == nullptr) continue;
    if (cur->next != nullptr) pending.push_back(cur->next);
    switch (cur->type) {
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
        out += chars(cur->content);
        break;
      case XML_ELEMENT_NODE:
      case XML_DOCUMENT_FRAG_NODE:
        pending.push_back(cur->children);
        break;
      case XML_ENTITY_REF_NODE:
        expandEntity(out, pending, doc, cur);
        break;
      default:
        break;
    }
  }
}

}  // namespace

// An explicit stack keeps deep trees off the call stack.
void appendListText(std::string& out, const xmlDoc* doc, const xmlNode* first) {
  std::vector<const xmlNode*> pending;
  pending.push_back(first);
  drainText(out, doc, pending);
}

void appendEntityText(std::string& out, const xmlDoc* doc, const xmlNode* ref) {
  std::vector<const xmlNode*> pending;
  expandEntity(out, pending, doc, ref);
  drainText(out, doc, pending);
}

bool validName(const std::string& name) {
  return !name.empty() && name.find('\0') == std::string::npos &&
         xmlValidateName(reinterpret_cast<const xmlChar*>(name.c_str()), 0) == 0;
}

}  // namespace detail

using detail::chars;

namespace {

constexpr bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void trimXmlSpace(std::string& s) {
  size_t end = s.size();
  while (end > 0 && isXmlSpace(s[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && isXmlSpace(s[begin])) ++begin;
  if (begin != 0 || end != s.size()) s = s.substr(begin, end - begin);
}

}  // namespace

NodeType Node::type() const {
  if (node_ == nullptr) return NodeType::None;
  switch (node_->type) {
    case XML_ELEMENT_NODE:
      return NodeType::Element;
    case XML_ATTRIBUTE_NODE:
      return NodeType::Attribute;
    case XML_TEXT_NODE:
      return NodeType::Text;
    case XML_CDATA_SECTION_NODE:
      return NodeType::CData;
    case XML_ENTITY_REF_NODE:
      return NodeType::EntityRef;
    case XML_COMMENT_NODE:
      return NodeType::Comment;
    case XML_DOCUMENT_FRAG_NODE:
      return NodeType::Fragment;
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
      return NodeType::Document;
    default:
      return NodeType::Other;
  }
}

std::string Node::nodeName() const {
  if (node_ == nullptr) return {};
  std::string name;
  switch (node_->type) {
    case XML_ELEMENT_NODE:
      detail::appendQName(name, node_->ns, node_->name);
      return name;
    case XML_ATTRIBUTE_NODE: {
      const xmlAttr* attr = reinterpret_cast<const xmlAttr*>(node_);
      detail::appendQName(name, attr->ns, attr->name);
      return name;
    }
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    case XML_DOCUMENT_FRAG_NODE:
      return "#document-fragment";
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
      return "#document";
    default:
      return std::string(chars(node_->name));
  }
}

std::string Node::text() const {
  std::string out;
  if (node_ == nullptr) return out;
  const xmlDoc* doc = detail::docOf(node_);
  switch (node_->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      out = chars(node_->content);
      break;
    case XML_ENTITY_REF_NODE:
      detail::appendEntityText(out, doc, node_);
      break;
    case XML_ATTRIBUTE_NODE:
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
      detail::appendListText(out, doc, node_->children);
      break;
    default:
      break;
  }
  const Document* owner = detail::ownerOf(node_);
  if (owner != nullptr && !owner->preserveWhiteSpace()) trimXmlSpace(out);
  return out;
}

Node Node::parentNode() const {
  if (node_ == nullptr || node_->type == XML_ATTRIBUTE_NODE) return Node();
  return Node(node_->parent);
}

bool Node::inDocument() const {
  return node_ != nullptr && node_->type != XML_ATTRIBUTE_NODE && detail::inDocumentTree(node_);
}

Node Node::firstChild() const {
  // An entity reference's children are its declaration, not tree nodes.
  if (node_ == nullptr || node_->type == XML_ENTITY_REF_NODE) return Node();
  return Node(node_->children);
}

Node Node::nextSibling() const {
  if (node_ == nullptr || node_->type == XML_ATTRIBUTE_NODE) return Node();
  return Node(node_->next);
}

HRESULT Node::getAttribute(std::string_view name, std::string& value) const {
  value.clear();
  if (node_ == nullptr) return E_POINTER;
  if (node_->type != XML_ELEMENT_NODE) return E_INVALIDARG;
  const xmlAttr* attr = detail::findAttribute(node_, name);
  if (attr == nullptr) return S_FALSE;
  try {
    detail::appendListText(value, node_->doc, attr->children);
  } catch (const std::bad_alloc&) {
    value.clear();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

bool Node::hasAttribute(std::string_view name) const {
  return node_ != nullptr && node_->type == XML_ELEMENT_NODE &&
         detail::findAttribute(node_, name) != nullptr;
}

HRESULT Node::setAttribute(std::string_view name, std::string_view value) {
  if (node_ == nullptr) return E_POINTER;
  if (node_->type != XML_ELEMENT_NODE) return E_INVALIDARG;
  Document* owner = detail::ownerOf(node_);
  if (owner == nullptr) return E_INVALIDARG;
  if (value.size() > INT_MAX) return E_INVALIDARG;
  const auto* bytes = reinterpret_cast<const xmlChar*>(value.data());
  const int length = static_cast<int>(value.size());
  try {
    xmlAttr* attr = detail::findAttribute(node_, name);
    xmlNode* only = attr != nullptr ? attr->children : nullptr;
    if (only != nullptr && only->type == XML_TEXT_NODE && only->next == nullptr && !value.empty()) {
      // The usual case, a value held in one text node: change it in place.
      xmlChar* copy = xmlStrndup(bytes, length);
      if (copy == nullptr) return E_OUTOFMEMORY;
      xmlChar* old = only->content;
      // Short texts may live inside the node or in the document's dictionary.
      bool ownsOld = old != nullptr && old != reinterpret_cast<xmlChar*>(&only->properties) &&
                     !(only->doc != nullptr && only->doc->dict != nullptr &&
                       xmlDictOwns(only->doc->dict, old) == 1);
      if (ownsOld) xmlFree(old);
      only->content = copy;
      only->properties = nullptr;
      return S_OK;
    }
    std::string qname(name);
    if (attr == nullptr && !detail::validName(qname)) return E_INVALIDARG;
    // Freed here until it is linked, whichever step fails first.
    xml::NodePtr text;
    if (!value.empty()) {
      text.reset(xmlNewDocTextLen(node_->doc, bytes, length));
      if (text == nullptr) return E_OUTOFMEMORY;
    }
    if (attr == nullptr) {
      attr = xmlNewProp(node_, reinterpret_cast<const xmlChar*>(qname.c_str()), nullptr);
      if (attr == nullptr) return E_OUTOFMEMORY;
    } else {
      // Old value nodes are kept rather than freed: a selection may hold them.
      for (xmlNode* c = attr->children; c != nullptr; c = c->next) owner->keepDetached(c);
      // Unlinked through the attribute's own type: unlinkRaw would reach its
      // children list through an xmlNode pointer, which the optimiser may
      // assume cannot change attr->children (a loop that never ended).
      for (xmlNode* c = attr->children; c != nullptr;) {
        xmlNode* next = c->next;
        c->parent = nullptr;
        c->prev = nullptr;
        c->next = nullptr;
        c = next;
      }
      attr->children = nullptr;
      attr->last = nullptr;
    }
    if (text != nullptr) {
      xmlNode* linked = text.release();
      linked->parent = reinterpret_cast<xmlNode*>(attr);
      attr->children = attr->last = linked;
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Node::removeAttribute(std::string_view name) {
  if (node_ == nullptr) return E_POINTER;
  if (node_->type != XML_ELEMENT_NODE) return E_INVALIDARG;
  Document* owner = detail::ownerOf(node_);
  if (owner == nullptr) return E_INVALIDARG;
  xmlAttr* attr = detail::findAttribute(node_, name);
  if (attr == nullptr) return S_OK;
  try {
    owner->keepDetached(reinterpret_cast<xmlNode*>(attr));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (node_->properties == attr) node_->properties = attr->next;
  if (attr->prev != nullptr) attr->prev->next = attr->next;
  if (attr->next != nullptr) attr->next->prev = attr->prev;
  attr->parent = nullptr;
  attr->prev = nullptr;
  attr->next = nullptr;
  return S_OK;
}

HRESULT Node::attributes(std::vector<std::pair<std::string, std::string>>& out) const {
  out.clear();
  if (node_ == nullptr) return E_POINTER;
  if (node_->type != XML_ELEMENT_NODE) return E_INVALIDARG;
  try {
    for (const xmlAttr* attr = node_->properties; attr != nullptr; attr = attr->next) {
      std::pair<std::string, std::string> entry;
      detail::appendQName(entry.first, attr->ns, attr->name);
      detail::appendListText(entry.second, node_->doc, attr->children);
      out.push_back(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    out.clear();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace vantomer::dom
