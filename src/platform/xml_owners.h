#pragma once
// Owners for libxml2 objects, each freed by the function libxml2 provides
// for it. Only forward declarations here, so that dom.h stays free of the
// libxml2 headers.

#include <memory>

struct _xmlDoc;
struct _xmlNode;
struct _xmlBuffer;
struct _xmlParserCtxt;
struct _xmlXPathContext;
struct _xmlXPathCompExpr;
struct _xmlXPathObject;

namespace vantomer::xml {

struct FreeDoc {
  void operator()(_xmlDoc* doc) const noexcept;
};
// A node outside any tree, with its subtree.
struct FreeNode {
  void operator()(_xmlNode* node) const noexcept;
};
struct FreeBuffer {
  void operator()(_xmlBuffer* buffer) const noexcept;
};
struct FreeParserContext {
  void operator()(_xmlParserCtxt* context) const noexcept;
};
struct FreeXPathContext {
  void operator()(_xmlXPathContext* context) const noexcept;
};
struct FreeXPathExpression {
  void operator()(_xmlXPathCompExpr* expression) const noexcept;
};
struct FreeXPathObject {
  void operator()(_xmlXPathObject* object) const noexcept;
};

using DocPtr = std::unique_ptr<_xmlDoc, FreeDoc>;
using NodePtr = std::unique_ptr<_xmlNode, FreeNode>;
using BufferPtr = std::unique_ptr<_xmlBuffer, FreeBuffer>;
using ParserContextPtr = std::unique_ptr<_xmlParserCtxt, FreeParserContext>;
using XPathContextPtr = std::unique_ptr<_xmlXPathContext, FreeXPathContext>;
using XPathExpressionPtr = std::unique_ptr<_xmlXPathCompExpr, FreeXPathExpression>;
using XPathObjectPtr = std::unique_ptr<_xmlXPathObject, FreeXPathObject>;

}  // namespace vantomer::xml
