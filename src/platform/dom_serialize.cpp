// Serialisation straight into a std::string, without recursion so that deep
// trees cannot exhaust the stack. Non-ASCII text is written as UTF-8, never
// as character references.

#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <array>
#include <cstring>
#include <new>

#include "platform/dom.h"
#include "platform/dom_internal.h"
#include "platform/xml_owners.h"

namespace vantomer::dom {
namespace detail {
namespace {

// Replacement for each byte that needs one; NUL marks the end of the text.
struct EscapeTable {
  std::array<const char*, 256> text{};
  std::array<const char*, 256> attribute{};
  constexpr EscapeTable() {
    text[0] = attribute[0] = "";
    text['&'] = attribute['&'] = "&amp;";
    text['<'] = attribute['<'] = "&lt;";
    text['>'] = attribute['>'] = "&gt;";
    // Keeps tabs and line breaks from being normalised away when the value
    // is read back.
    attribute['"'] = "&quot;";
    attribute['\t'] = "&#9;";
    attribute['\n'] = "&#10;";
    attribute['\r'] = "&#13;";
  }
};

constexpr EscapeTable kEscapes;

// One pass over a NUL-terminated text: no strlen first.
void appendEscaped(std::string& out, const xmlChar* s, const std::array<const char*, 256>& table) {
  if (s == nullptr) return;
  const xmlChar* run = s;
  for (;; ++s) {
    const char* replacement = table[*s];
    if (replacement == nullptr) continue;
    out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(s - run));
    if (*s == 0) return;
    out += replacement;
    run = s + 1;
  }
}

void appendAttribute(std::string& out, const xmlAttr* attr) {
  appendQName(out, attr->ns, attr->name);
  out += "=\"";
  for (const xmlNode* c = attr->children; c != nullptr; c = c->next) {
    if (c->type == XML_TEXT_NODE) {
      appendEscaped(out, c->content, kEscapes.attribute);
    } else if (c->type == XML_ENTITY_REF_NODE) {
      out += '&';
      out += chars(c->name);
      out += ';';
    }
  }
  out += '"';
}

void appendStartTag(std::string& out, const xmlNode* element) {
  out += '<';
  appendQName(out, element->ns, element->name);
  for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
    out += " xmlns";
    if (ns->prefix != nullptr) {
      out += ':';
      out += chars(ns->prefix);
    }
    out += "=\"";
    appendEscaped(out, ns->href, kEscapes.attribute);
    out += '"';
  }
  for (const xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    out += ' ';
    appendAttribute(out, attr);
  }
}

void appendCData(std::string& out, std::string_view s) {
  // "]]>" cannot stand inside a section: split it across two.
  out += "<![CDATA[";
  size_t pos;
  while ((pos = s.find("]]>")) != std::string_view::npos) {
    out.append(s.data(), pos + 2);
    out += "]]><![CDATA[";
    s.remove_prefix(pos + 2);
  }
  out += s;
  out += "]]>";
}

// libxml2 writes the DOCTYPE, internal subset and all. A declaration it
// cannot allocate is left out and reported only as the thread's last error:
// a DOCTYPE missing declarations must not pass for the document's own.
void appendDtd(std::string& out, const xmlNode* dtd) {
  xml::BufferPtr buffer(xmlBufferCreate());
  if (buffer == nullptr) throw std::bad_alloc();
  xmlResetLastError();
  const int written = xmlNodeDump(buffer.get(), dtd->doc, const_cast<xmlNode*>(dtd), 0, 0);
  const xmlError* error = xmlGetLastError();
  if (written < 0 || (error != nullptr && error->code == XML_ERR_NO_MEMORY)) {
    throw std::bad_alloc();
  }
  out.append(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
             static_cast<size_t>(xmlBufferLength(buffer.get())));
}

}  // namespace

void serialize(std::string& out, const xmlNode* start) {
  if (start->type == XML_ATTRIBUTE_NODE) {
    appendAttribute(out, reinterpret_cast<const xmlAttr*>(start));
    return;
  }
  const xmlNode* cur = start;
  for (;;) {
    bool descend = false;
    switch (cur->type) {
      case XML_ELEMENT_NODE:
        appendStartTag(out, cur);
        if (cur->children != nullptr) {
          out += '>';
          descend = true;
        } else {
          out += "/>";
        }
        break;
      case XML_DOCUMENT_NODE:
      case XML_HTML_DOCUMENT_NODE:
      case XML_DOCUMENT_FRAG_NODE:
        descend = cur->children != nullptr;
        break;
      case XML_TEXT_NODE:
        appendEscaped(out, cur->content, kEscapes.text);
        break;
      case XML_CDATA_SECTION_NODE:
        appendCData(out, chars(cur->content));
        break;
      case XML_COMMENT_NODE:
        out += "<!--";
        out += chars(cur->content);
        out += "-->";
        break;
      case XML_PI_NODE:
        out += "<?";
        out += chars(cur->name);
        if (cur->content != nullptr && cur->content[0] != 0) {
          out += ' ';
          out += chars(cur->content);
        }
        out += "?>";
        break;
      case XML_ENTITY_REF_NODE:
        out += '&';
        out += chars(cur->name);
        out += ';';
        break;
      case XML_DTD_NODE:
        appendDtd(out, cur);
        break;
      default:
        break;
    }
    if (descend) {
      cur = cur->children;
      continue;
    }
    // Climb until a next sibling is found, closing elements on the way.
    for (;;) {
      if (cur == start) return;
      if (cur->next != nullptr) {
        cur = cur->next;
        break;
      }
      cur = cur->parent;
      if (cur->type == XML_ELEMENT_NODE) {
        out += "</";
        appendQName(out, cur->ns, cur->name);
        out += '>';
      }
    }
  }
}

}  // namespace detail

std::string Node::xml() const {
  std::string out;
  appendXml(out);
  return out;
}

void Node::appendXml(std::string& out) const {
  if (node_ != nullptr) detail::serialize(out, node_);
}

}  // namespace vantomer::dom
