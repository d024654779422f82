#include "platform/dom.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/dom_internal.h"

namespace vantomer::dom {

void initialize() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

namespace detail {

Document* ownerOf(const xmlNode* node) {
  if (node == nullptr) return nullptr;
  const xmlDoc* doc = (node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE)
                          ? reinterpret_cast<const xmlDoc*>(node)
                          : node->doc;
  return doc != nullptr ? static_cast<Document*>(doc->_private) : nullptr;
}

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

bool isDocumentNode(const xmlNode* node) {
  return node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE;
}

bool isContainer(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_FRAG_NODE ||
         isDocumentNode(node);
}

bool isInsertable(const xmlNode* node) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
    case XML_DOCUMENT_FRAG_NODE:
      return true;
    default:
      return false;
  }
}

xmlDoc* docOf(const xmlNode* node) {
  return isDocumentNode(node) ? reinterpret_cast<xmlDoc*>(const_cast<xmlNode*>(node)) : node->doc;
}

// Our own linking: libxml2's xmlAdd* functions merge adjacent text nodes and
// free one of them, which would leave a caller's handle dangling.
void unlinkRaw(xmlNode* node) {
  xmlNode* parent = node->parent;
  if (parent != nullptr) {
    if (parent->children == node) parent->children = node->next;
    if (parent->last == node) parent->last = node->prev;
  }
  if (node->prev != nullptr) node->prev->next = node->next;
  if (node->next != nullptr) node->next->prev = node->prev;
  node->parent = nullptr;
  node->prev = nullptr;
  node->next = nullptr;
}

void linkBefore(xmlNode* parent, xmlNode* node, xmlNode* ref) {
  node->parent = parent;
  if (ref != nullptr) {
    node->next = ref;
    node->prev = ref->prev;
    if (ref->prev != nullptr) {
      ref->prev->next = node;
    } else {
      parent->children = node;
    }
    ref->prev = node;
  } else {
    node->next = nullptr;
    node->prev = parent->last;
    if (parent->last != nullptr) {
      parent->last->next = node;
    } else {
      parent->children = node;
    }
    parent->last = node;
  }
}

// Puts node (or a fragment's children, in order) before ref in parent.
void insertRaw(xmlNode* parent, xmlNode* node, xmlNode* ref) {
  if (node->type == XML_DOCUMENT_FRAG_NODE) {
    while (xmlNode* child = node->children) {
      unlinkRaw(child);
      linkBefore(parent, child, ref);
    }
    return;
  }
  unlinkRaw(node);
  linkBefore(parent, node, ref);
}

// A document holds at most one element and no text.
HRESULT checkDocumentChild(xmlNode* doc, xmlNode* newChild, xmlNode* replaced) {
  int added = 0;
  auto admit = [&added](const xmlNode* node) {
    if (node->type == XML_ELEMENT_NODE) {
      ++added;
      return true;
    }
    return node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE;
  };
  if (newChild->type == XML_DOCUMENT_FRAG_NODE) {
    for (xmlNode* c = newChild->children; c != nullptr; c = c->next) {
      if (!admit(c)) return E_INVALIDARG;
    }
  } else if (!admit(newChild)) {
    return E_INVALIDARG;
  }
  if (added == 0) return S_OK;
  int existing = 0;
  for (xmlNode* c = doc->children; c != nullptr; c = c->next) {
    if (c->type == XML_ELEMENT_NODE && c != replaced && c != newChild) ++existing;
  }
  return existing + added > 1 ? E_INVALIDARG : S_OK;
}

// Whether newChild may go into parent: same document, a node that can stand
// in a tree, and not parent itself or one of its ancestors.
HRESULT checkInsert(xmlNode* parent, xmlNode* newChild, xmlNode* replaced) {
  if (!isContainer(parent) || !isInsertable(newChild)) return E_INVALIDARG;
  if (docOf(parent) != newChild->doc || detail::ownerOf(parent) == nullptr) return E_INVALIDARG;
  if (parent == newChild) return E_INVALIDARG;
  // Only a node with children can be an ancestor of parent.
  if (newChild->children != nullptr) {
    for (const xmlNode* up = parent->parent; up != nullptr; up = up->parent) {
      if (up == newChild) return E_INVALIDARG;
    }
  }
  if (isDocumentNode(parent)) return checkDocumentChild(parent, newChild, replaced);
  return S_OK;
}

std::string copyOf(std::string_view s) { return std::string(s); }

bool validName(const std::string& name) {
  return !name.empty() && name.find('\0') == std::string::npos &&
         xmlValidateName(reinterpret_cast<const xmlChar*>(name.c_str()), 0) == 0;
}

// Room for one more entry, growing geometrically (an exact reserve would
// make building a large tree quadratic).
void reserveOne(std::vector<xmlNode*>& list) {
  if (list.size() == list.capacity()) list.reserve(std::max<size_t>(16, list.capacity() * 2));
}

}  // namespace

// ---------------------------------------------------------------- Node

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
  const xmlDoc* doc = docOf(node_);
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

std::string Node::xml() const {
  std::string out;
  appendXml(out);
  return out;
}

void Node::appendXml(std::string& out) const {
  if (node_ != nullptr) detail::serialize(out, node_);
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
    if (attr == nullptr && !validName(qname)) return E_INVALIDARG;
    xmlNode* text = nullptr;
    if (!value.empty()) {
      text = xmlNewDocTextLen(node_->doc, bytes, length);
      if (text == nullptr) return E_OUTOFMEMORY;
    }
    if (attr == nullptr) {
      attr = xmlNewProp(node_, reinterpret_cast<const xmlChar*>(qname.c_str()), nullptr);
      if (attr == nullptr) {
        xmlFreeNode(text);
        return E_OUTOFMEMORY;
      }
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
      text->parent = reinterpret_cast<xmlNode*>(attr);
      attr->children = attr->last = text;
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

HRESULT Node::appendChild(Node newChild) { return insertBefore(newChild, Node()); }

HRESULT Node::insertBefore(Node newChild, Node refChild) {
  if (node_ == nullptr || newChild.node_ == nullptr) return E_POINTER;
  xmlNode* ref = refChild.node_;
  if (ref != nullptr && ref->parent != node_) return E_INVALIDARG;
  if (ref == newChild.node_) return S_OK;
  HRESULT hr = checkInsert(node_, newChild.node_, nullptr);
  if (failed(hr)) return hr;
  insertRaw(node_, newChild.node_, ref);
  return S_OK;
}

HRESULT Node::replaceChild(Node newChild, Node oldChild) {
  if (node_ == nullptr || newChild.node_ == nullptr || oldChild.node_ == nullptr) return E_POINTER;
  xmlNode* old = oldChild.node_;
  if (old->parent != node_ || old->type == XML_ATTRIBUTE_NODE) return E_INVALIDARG;
  if (newChild.node_ == old) return S_OK;
  if (old->type == XML_DTD_NODE) return E_INVALIDARG;
  HRESULT hr = checkInsert(node_, newChild.node_, old);
  if (failed(hr)) return hr;
  try {
    detail::ownerOf(node_)->keepDetached(old);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  insertRaw(node_, newChild.node_, old);
  unlinkRaw(old);
  return S_OK;
}

HRESULT Node::removeChild(Node oldChild) {
  if (node_ == nullptr || oldChild.node_ == nullptr) return E_POINTER;
  xmlNode* old = oldChild.node_;
  if (old->parent != node_ || old->type == XML_ATTRIBUTE_NODE) return E_INVALIDARG;
  // The document keeps its DTD; entity references resolve through it.
  if (old->type == XML_DTD_NODE) return E_INVALIDARG;
  Document* owner = detail::ownerOf(node_);
  if (owner == nullptr) return E_INVALIDARG;
  try {
    owner->keepDetached(old);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  unlinkRaw(old);
  return S_OK;
}

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

// ---------------------------------------------------------------- Document

Document::Document() {
  initialize();
  clearContent();
}

Document::~Document() { releaseContent(); }

void Document::keepDetached(_xmlNode* node) {
  if (node != nullptr) detached_.push_back(node);
}

void Document::releaseContent() {
  if (!detached_.empty()) {
    // Decide every root before freeing any: a freed subtree may hold nodes
    // that are also in the list. A node may be listed twice.
    auto rootsEnd = std::partition(detached_.begin(), detached_.end(),
                                   [](const xmlNode* node) { return node->parent == nullptr; });
    std::sort(detached_.begin(), rootsEnd);
    rootsEnd = std::unique(detached_.begin(), rootsEnd);
    for (auto it = detached_.begin(); it != rootsEnd; ++it) xmlFreeNode(*it);
    detached_.clear();
  }
  if (doc_ != nullptr) {
    xmlFreeDoc(doc_);
    doc_ = nullptr;
  }
}

HRESULT Document::documentElement(Node& out) const {
  out = documentElement();
  return out ? S_OK : S_FALSE;
}

Node Document::documentElement() const {
  if (doc_ == nullptr) return Node();
  return Node(xmlDocGetRootElement(doc_));
}

HRESULT Document::createElement(std::string_view name, Node& out) {
  out = Node();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  try {
    std::string qname = copyOf(name);
    if (!validName(qname)) return E_INVALIDARG;
    reserveOne(detached_);
    xmlNode* node =
        xmlNewDocNode(doc_, nullptr, reinterpret_cast<const xmlChar*>(qname.c_str()), nullptr);
    if (node == nullptr) return E_OUTOFMEMORY;
    detached_.push_back(node);
    out = Node(node);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Document::createTextNode(std::string_view text, Node& out) {
  out = Node();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  if (text.size() > INT_MAX) return E_INVALIDARG;
  try {
    reserveOne(detached_);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  xmlNode* node = xmlNewDocTextLen(doc_, reinterpret_cast<const xmlChar*>(text.data()),
                                   static_cast<int>(text.size()));
  if (node == nullptr) return E_OUTOFMEMORY;
  detached_.push_back(node);
  out = Node(node);
  return S_OK;
}

HRESULT Document::createDocumentFragment(Node& out) {
  out = Node();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  try {
    reserveOne(detached_);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  xmlNode* node = xmlNewDocFragment(doc_);
  if (node == nullptr) return E_OUTOFMEMORY;
  detached_.push_back(node);
  out = Node(node);
  return S_OK;
}

HRESULT Document::selectNodes(std::string_view pattern, std::vector<Node>& out) const {
  out.clear();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  return Node(reinterpret_cast<xmlNode*>(doc_)).selectNodes(pattern, out);
}

HRESULT Document::collectElements(const std::vector<ElementName>& names,
                                  std::vector<std::vector<Node>>& lists) const {
  try {
    std::size_t count = 0;
    for (const ElementName& n : names) count = std::max(count, n.list + 1);
    lists.resize(count);
    for (auto& list : lists) list.clear();
    if (doc_ == nullptr) return E_OUTOFMEMORY;
    detail::collectElements(doc_, names, lists);
    return S_OK;
  } catch (const std::bad_alloc&) {
    for (auto& list : lists) list.clear();
    return E_OUTOFMEMORY;
  }
}

HRESULT Document::selectSingleNode(std::string_view pattern, Node& out) const {
  out = Node();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  return Node(reinterpret_cast<xmlNode*>(doc_)).selectSingleNode(pattern, out);
}

namespace {

// The first error of a parse; libxml2 goes on after it and reports
// follow-up errors that say less about the cause.
struct FirstError {
  bool seen = false;
  bool outOfMemory = false;
  int line = 0;
  std::string reason;
};

void noteError(void*, xmlError* error) {
  if (error == nullptr || error->level < XML_ERR_ERROR || error->ctxt == nullptr) return;
  auto* ctxt = static_cast<xmlParserCtxt*>(error->ctxt);
  auto* first = static_cast<FirstError*>(ctxt->_private);
  if (first == nullptr) return;
  if (error->code == XML_ERR_NO_MEMORY) first->outOfMemory = true;
  if (first->seen) return;
  first->seen = true;
  first->line = error->line;
  try {
    first->reason = error->message != nullptr ? error->message : "";
  } catch (const std::bad_alloc&) {
    first->outOfMemory = true;
  }
}

std::string trimmedReason(std::string reason) {
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  if (reason.empty()) reason = "The document is not well-formed.";
  return reason;
}

}  // namespace

void Document::replaceContent(_xmlDoc* doc) {
  releaseContent();
  doc_ = doc;
  if (doc_ != nullptr) doc_->_private = this;
}

HRESULT Document::clearContent() {
  replaceContent(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
  return doc_ != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT Document::parse(std::string_view bytes, const char* encoding, int options, bool& loaded) {
  loaded = false;
  initialize();
  parseError_ = ParseError();
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    parseError_.reason = "The document is too large.";
    return succeeded(clearContent()) ? S_FALSE : E_OUTOFMEMORY;
  }
  xmlParserCtxt* ctxt = xmlNewParserCtxt();
  if (ctxt == nullptr) return E_OUTOFMEMORY;
  // No network, no external DTD or entity loading, no entity substitution
  // (references stay references) and the default depth limit. Errors stay in
  // the context instead of going to stderr.
  options |= XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;
  if (!preserveWhiteSpace_) options |= XML_PARSE_NOBLANKS;
  FirstError first;
  ctxt->_private = &first;
  ctxt->sax->serror = noteError;
  xmlDoc* doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                  encoding, options);
  // The tree builder drops nodes it cannot allocate without clearing the
  // well-formed flag: any allocation failure fails the load.
  bool outOfMemory = first.outOfMemory || ctxt->errNo == XML_ERR_NO_MEMORY ||
                     ctxt->lastError.code == XML_ERR_NO_MEMORY;
  bool wellFormed = doc != nullptr && ctxt->wellFormed != 0 && !outOfMemory;
  if (!wellFormed) {
    const char* last = ctxt->lastError.message;
    try {
      parseError_.reason = trimmedReason(first.seen ? first.reason : (last ? last : ""));
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    }
    parseError_.line = first.seen ? first.line : ctxt->lastError.line;
    if (doc != nullptr) xmlFreeDoc(doc);
    doc = nullptr;
  }
  xmlFreeParserCtxt(ctxt);
  if (!wellFormed) {
    if (failed(clearContent())) return E_OUTOFMEMORY;
    return outOfMemory ? E_OUTOFMEMORY : S_FALSE;
  }
  replaceContent(doc);
  loaded = true;
  return S_OK;
}

HRESULT Document::loadXML(std::string_view utf8, bool& loaded) {
  // No encoding named: libxml2 then reads UTF-8 in place, where naming it
  // would send every byte through its UTF-8 to UTF-8 converter. A declared
  // encoding is ignored, and text without NUL bytes that is valid UTF-8 is
  // never detected as anything else.
  return parse(utf8, nullptr, XML_PARSE_IGNORE_ENC, loaded);
}

HRESULT Document::load(const std::string& path, bool& loaded) {
  loaded = false;
  initialize();
  std::string bytes;
  try {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      int code = errno;
      if (failed(clearContent())) return E_OUTOFMEMORY;
      parseError_.reason = "Cannot open " + path + ": " + std::strerror(code);
      parseError_.line = 0;
      return S_FALSE;
    }
    char buffer[65536];
    size_t n;
    bool readFailed = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    if (std::ferror(file)) readFailed = true;
    int code = errno;
    std::fclose(file);
    if (readFailed) {
      if (failed(clearContent())) return E_OUTOFMEMORY;
      parseError_.reason = "Cannot read " + path + ": " + std::strerror(code);
      parseError_.line = 0;
      return S_FALSE;
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return parse(bytes, nullptr, 0, loaded);
}

}  // namespace vantomer::dom
