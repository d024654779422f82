// Tree edits and new nodes. Every node that leaves the tree, and every new
// node, is handed to its Document, which frees it with the document: handles
// to removed or replaced nodes stay valid.

#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <new>

#include "platform/dom.h"
#include "platform/dom_internal.h"

namespace vantomer::dom {

using detail::docOf;
using detail::isDocumentNode;

namespace {

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
[[nodiscard]] HRESULT checkDocumentChild(xmlNode* doc, xmlNode* newChild, xmlNode* replaced) {
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
[[nodiscard]] HRESULT checkInsert(xmlNode* parent, xmlNode* newChild, xmlNode* replaced) {
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

// Room for one more entry, growing geometrically (an exact reserve would
// make building a large tree quadratic).
void reserveOne(std::vector<xmlNode*>& list) {
  if (list.size() == list.capacity()) list.reserve(std::max<size_t>(16, list.capacity() * 2));
}

}  // namespace

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

HRESULT Document::createElement(std::string_view name, Node& out) {
  out = Node();
  if (doc_ == nullptr) return E_OUTOFMEMORY;
  try {
    std::string qname = copyOf(name);
    if (!detail::validName(qname)) return E_INVALIDARG;
    reserveOne(detached_);
    xmlNode* node = xmlNewDocNode(doc_.get(), nullptr,
                                  reinterpret_cast<const xmlChar*>(qname.c_str()), nullptr);
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
  xmlNode* node = xmlNewDocTextLen(doc_.get(), reinterpret_cast<const xmlChar*>(text.data()),
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
  xmlNode* node = xmlNewDocFragment(doc_.get());
  if (node == nullptr) return E_OUTOFMEMORY;
  detached_.push_back(node);
  out = Node(node);
  return S_OK;
}

}  // namespace vantomer::dom
