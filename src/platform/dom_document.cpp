// The document: its content, the nodes it keeps for its handles, and
// loading from text or a file with the first parse error recorded.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "platform/c_owners.h"
#include "platform/dom.h"
#include "platform/dom_internal.h"

namespace vantomer::dom {

void initialize() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

Document::Document() {
  initialize();
  // Without memory for even an empty document doc_ stays null, and every
  // call reports E_OUTOFMEMORY.
  static_cast<void>(clearContent());
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
  doc_.reset();
}

HRESULT Document::documentElement(Node& out) const {
  out = documentElement();
  return out ? S_OK : S_FALSE;
}

Node Document::documentElement() const {
  if (doc_ == nullptr) return Node();
  return Node(xmlDocGetRootElement(doc_.get()));
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

void Document::replaceContent(xml::DocPtr doc) {
  releaseContent();
  doc_ = std::move(doc);
  if (doc_ != nullptr) doc_->_private = this;
}

HRESULT Document::clearContent() {
  replaceContent(xml::DocPtr(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"))));
  return doc_ != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT Document::parse(std::string_view bytes, const char* encoding, int options) {
  initialize();
  parseError_ = ParseError();
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    parseError_.reason = "The document is too large.";
    return succeeded(clearContent()) ? S_FALSE : E_OUTOFMEMORY;
  }
  if (const auto excess = checkMarkupLimits(bytes, limits_)) {
    if (failed(clearContent())) return E_OUTOFMEMORY;
    parseError_.reason = excess->reason;
    parseError_.line = excess->line;
    return S_FALSE;
  }
  FirstError first;
  xml::ParserContextPtr ctxt(xmlNewParserCtxt());
  if (ctxt == nullptr) return E_OUTOFMEMORY;
  // No network, no external DTD or entity loading, no entity substitution
  // (references stay references) and the default depth limit. Errors stay in
  // the context instead of going to stderr.
  options |= XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;
  if (!preserveWhiteSpace_) options |= XML_PARSE_NOBLANKS;
  ctxt->_private = &first;
  ctxt->sax->serror = noteError;
  xml::DocPtr doc(xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, encoding, options));
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
    doc.reset();
  }
  ctxt.reset();
  if (!wellFormed) {
    if (failed(clearContent())) return E_OUTOFMEMORY;
    return outOfMemory ? E_OUTOFMEMORY : S_FALSE;
  }
  replaceContent(std::move(doc));
  return S_OK;
}

HRESULT Document::loadXML(std::string_view utf8) {
  // No encoding named: libxml2 then reads UTF-8 in place, where naming it
  // would send every byte through its UTF-8 to UTF-8 converter. A declared
  // encoding is ignored, and text without NUL bytes that is valid UTF-8 is
  // never detected as anything else.
  return parse(utf8, nullptr, XML_PARSE_IGNORE_ENC);
}

HRESULT Document::load(const std::string& path) {
  initialize();
  std::string bytes;
  try {
    // Closed on every way out, a failed allocation while reading included.
    FilePtr file(std::fopen(path.c_str(), "rb"));
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
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
    if (std::ferror(file.get())) readFailed = true;
    int code = errno;
    file.reset();
    if (readFailed) {
      if (failed(clearContent())) return E_OUTOFMEMORY;
      parseError_.reason = "Cannot read " + path + ": " + std::strerror(code);
      parseError_.line = 0;
      return S_FALSE;
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return parse(bytes, nullptr, 0);
}

}  // namespace vantomer::dom
