#include "platform/xml_owners.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

namespace vantomer::xml {

void FreeDoc::operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
void FreeNode::operator()(xmlNode* node) const noexcept { xmlFreeNode(node); }
void FreeBuffer::operator()(xmlBuffer* buffer) const noexcept { xmlBufferFree(buffer); }
void FreeParserContext::operator()(xmlParserCtxt* context) const noexcept {
  xmlFreeParserCtxt(context);
}
void FreeXPathContext::operator()(xmlXPathContext* context) const noexcept {
  xmlXPathFreeContext(context);
}
void FreeXPathExpression::operator()(xmlXPathCompExpr* expression) const noexcept {
  xmlXPathFreeCompExpr(expression);
}
void FreeXPathObject::operator()(xmlXPathObject* object) const noexcept {
  xmlXPathFreeObject(object);
}

}  // namespace vantomer::xml
