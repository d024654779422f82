#pragma once
// A small XML DOM on libxml2, with the semantics the conversion relies on:
// strings are UTF-8; a removed or replaced node stays valid until its
// document is released; node lists are snapshots in document order; entity
// references declared in the DOCTYPE stay references and are written back
// as such; nothing is ever loaded from the network or the file system while
// parsing.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/hresult.h"
#include "platform/markup_limits.h"
#include "platform/xml_owners.h"

namespace vantomer::dom {

// Initialises libxml2 once per process; safe to call from any thread.
void initialize();

// Elements of one qualified name, gathered into list number list.
struct ElementName {
  std::string_view qname;
  std::size_t list;
};

enum class NodeType {
  None,
  Element,
  Attribute,
  Text,
  CData,
  EntityRef,
  Comment,
  Fragment,
  Document,
  Other
};

class Document;

// A handle to a node of a Document; copyable, does not own. Valid while its
// document lives. A null handle is allowed everywhere and gives E_POINTER
// (or an empty result) from its operations.
class Node {
 public:
  Node() = default;
  explicit Node(_xmlNode* node) : node_(node) {}

  bool isNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const Node& other) const { return node_ == other.node_; }
  bool operator!=(const Node& other) const { return node_ != other.node_; }

  NodeType type() const;
  bool isElement() const { return type() == NodeType::Element; }
  // Qualified name of an element ("prefix:local" or "local"); "#text" etc.
  std::string nodeName() const;

  // Text content: every descendant text, entity references expanded.
  std::string text() const;
  // Serialisation of the node: non-ASCII as characters, no added whitespace,
  // empty elements as <name/>, attributes in double quotes, entity
  // references as &name;.
  std::string xml() const;
  // Appends the serialisation to out (no intermediate copy).
  void appendXml(std::string& out) const;

  Node parentNode() const;
  // Whether the node stands in its document's tree (not removed, not new).
  bool inDocument() const;
  Node firstChild() const;
  Node nextSibling() const;

  // S_OK and the value, or S_FALSE and an empty value when absent (an empty
  // attribute is S_OK). E_INVALIDARG when the node is no element.
  [[nodiscard]] HRESULT getAttribute(std::string_view name, std::string& value) const;
  // Whether the element carries the attribute (false for other nodes).
  bool hasAttribute(std::string_view name) const;
  [[nodiscard]] HRESULT setAttribute(std::string_view name, std::string_view value);
  // S_OK also when the attribute was absent.
  [[nodiscard]] HRESULT removeAttribute(std::string_view name);
  // The element's attributes in order, as (nodeName, nodeValue).
  [[nodiscard]] HRESULT attributes(std::vector<std::pair<std::string, std::string>>& out) const;

  // Tree edits. A node that stands elsewhere is moved. A fragment puts its
  // children in its place, in order, and is left empty. Adjacent text nodes
  // are never merged, so every handle stays valid. E_POINTER for a null
  // handle; E_INVALIDARG for a reference or old child that is not a child of
  // this node, a node of another document, an edit that would make a node
  // its own ancestor, or a second element or any text under the document.
  [[nodiscard]] HRESULT appendChild(Node newChild);
  // newChild becomes the immediate previous sibling of refChild (a null
  // refChild appends).
  [[nodiscard]] HRESULT insertBefore(Node newChild, Node refChild);
  [[nodiscard]] HRESULT replaceChild(Node newChild, Node oldChild);
  [[nodiscard]] HRESULT removeChild(Node oldChild);

  // XPath selection from this node; a snapshot in document order. S_OK with
  // an empty list when nothing matches; negative for an invalid pattern.
  [[nodiscard]] HRESULT selectNodes(std::string_view pattern, std::vector<Node>& out) const;
  // First match in document order: S_OK, or S_FALSE and a null node.
  [[nodiscard]] HRESULT selectSingleNode(std::string_view pattern, Node& out) const;

 private:
  _xmlNode* node_ = nullptr;
};

struct ParseError {
  std::string reason;  // without a trailing line break
  int line = 0;        // 1-based
};

class Document {
 public:
  Document();
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Nothing is ever validated. Without preserveWhiteSpace (the default, as
  // for settings files) whitespace-only text nodes are dropped and text() is
  // trimmed.
  void setPreserveWhiteSpace(bool value) { preserveWhiteSpace_ = value; }
  bool preserveWhiteSpace() const { return preserveWhiteSpace_; }
  // Text over one of the caps loads like a malformed one, unparsed.
  void setLimits(const MarkupLimits& limits) { limits_ = limits; }

  // Loads a file. S_OK for a well-formed document; S_FALSE for a missing,
  // unreadable or malformed file (the document is then empty and
  // parseError() says why). Negative only when out of memory.
  [[nodiscard]] HRESULT load(const std::string& path);
  // Parses UTF-8 text; any encoding named inside the text is ignored.
  // Replaces the content. Same results as load().
  [[nodiscard]] HRESULT loadXML(std::string_view utf8);

  const ParseError& parseError() const { return parseError_; }

  // The root element, or a null node (S_FALSE) when there is none.
  [[nodiscard]] HRESULT documentElement(Node& out) const;
  Node documentElement() const;

  // New nodes owned by this document, not yet in the tree.
  [[nodiscard]] HRESULT createElement(std::string_view name, Node& out);
  [[nodiscard]] HRESULT createTextNode(std::string_view text, Node& out);
  [[nodiscard]] HRESULT createDocumentFragment(Node& out);

  // Selection from the document node.
  [[nodiscard]] HRESULT selectNodes(std::string_view pattern, std::vector<Node>& out) const;
  // One walk of the tree in document order: each element named in names
  // (matched as selectNodes matches a name) goes to lists[list], which are
  // cleared first. Several selections in one pass.
  [[nodiscard]] HRESULT collectElements(const std::vector<ElementName>& names,
                                        std::vector<std::vector<Node>>& lists) const;
  [[nodiscard]] HRESULT selectSingleNode(std::string_view pattern, Node& out) const;

  // Used by Node: remembers a node that left the tree (or was created
  // outside it) so that it is freed with the document, not before.
  void keepDetached(_xmlNode* node);

 private:
  void releaseContent();
  void replaceContent(xml::DocPtr doc);
  // Replaces the content by an empty document.
  [[nodiscard]] HRESULT clearContent();
  [[nodiscard]] HRESULT parse(std::string_view bytes, const char* encoding, int options);

  // Null only when even an empty document could not be allocated.
  xml::DocPtr doc_;
  std::vector<_xmlNode*> detached_;
  ParseError parseError_;
  bool preserveWhiteSpace_ = false;
  MarkupLimits limits_;
};

}  // namespace vantomer::dom
