#include "platform/dom.h"

#include <gtest/gtest.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace vantomer::dom {
namespace {

const std::string kDocType =
    "<!DOCTYPE html [<!ENTITY nbsp \"&#160;\"><!ENTITY copy \"&#169;\"><!ENTITY reg "
    "\"&#174;\">]>";

// A page document as the conversion loads it.
struct Page {
  Document doc;
  explicit Page(const std::string& xml, bool withDocType = true) {
    doc.setPreserveWhiteSpace(true);
    EXPECT_EQ(doc.loadXML((withDocType ? kDocType : "") + xml), S_OK)
        << xml << ": " << doc.parseError().reason;
  }
  Node root() const { return doc.documentElement(); }
  Node one(const std::string& pattern) const {
    Node n;
    EXPECT_EQ(doc.selectSingleNode(pattern, n), S_OK) << pattern;
    return n;
  }
};

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "/dom_test_" + std::to_string(getpid()) + "_" + name;
}

TEST(DomSerialise, Forms) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {"<a></a>", "<a/>"},
      {"<a><b/><c x=\"1\"></c></a>", "<a><b/><c x=\"1\"/></a>"},
      {"<a>x &amp; &lt; &gt; \"q\" 's'</a>", "<a>x &amp; &lt; &gt; \"q\" 's'</a>"},
      {"<a t=\"&#9;x&#10;&#13;&quot;&apos;&lt;&gt;&amp;\"/>",
       "<a t=\"&#9;x&#10;&#13;&quot;'&lt;&gt;&amp;\"/>"},
      {"<a>&#x3042;\xC3\xA9&#160;</a>", "<a>\xE3\x81\x82\xC3\xA9\xC2\xA0</a>"},
      {"<a><![CDATA[<b> & ]]></a>", "<a><![CDATA[<b> & ]]></a>"},
      {"<a><!-- note --><?pi data?><?bare?></a>", "<a><!-- note --><?pi data?><?bare?></a>"},
      {"<html xmlns=\"http://www.w3.org/1999/xhtml\"><p:x xmlns:p=\"urn:p\" p:y=\"1\"/></html>",
       "<html xmlns=\"http://www.w3.org/1999/xhtml\"><p:x xmlns:p=\"urn:p\" p:y=\"1\"/></html>"},
      {"<a>x&nbsp;y&copy;<b t=\"&reg;\"/></a>", "<a>x&nbsp;y&copy;<b t=\"&reg;\"/></a>"},
      {"<a>\n  <b/>\n</a>", "<a>\n  <b/>\n</a>"},
  };
  for (const Case& c : cases) {
    Page page(c.input);
    EXPECT_EQ(page.root().xml(), c.expected) << c.input;
  }
}

TEST(DomSerialise, CreatedNodesAndAwkwardText) {
  Page page("<r/>");
  Node text, element;
  ASSERT_EQ(page.doc.createTextNode("a]]>b <&> \"", text), S_OK);
  ASSERT_EQ(page.doc.createElement("img", element), S_OK);
  ASSERT_EQ(element.setAttribute("style", "-wap-input-format:\"*<ja:h>\"; "), S_OK);
  ASSERT_EQ(page.root().appendChild(text), S_OK);
  ASSERT_EQ(page.root().appendChild(element), S_OK);
  EXPECT_EQ(page.root().xml(),
            "<r>a]]&gt;b &lt;&amp;&gt; \"<img "
            "style=\"-wap-input-format:&quot;*&lt;ja:h&gt;&quot;; \"/></r>");
  EXPECT_EQ(text.xml(), "a]]&gt;b &lt;&amp;&gt; \"");
}

TEST(DomEntities, KeptInXmlExpandedInText) {
  Page page("<p title=\"a&nbsp;b\">x&nbsp;y &copy;&amp;&#65;</p>");
  Node p = page.root();
  EXPECT_EQ(p.xml(), "<p title=\"a&nbsp;b\">x&nbsp;y &copy;&amp;A</p>");
  EXPECT_EQ(p.text(), "x\xC2\xA0y \xC2\xA9&A");
  std::string title;
  EXPECT_EQ(p.getAttribute("title", title), S_OK);
  EXPECT_EQ(title,
            "a\xC2\xA0"
            "b");
  Node ref = p.firstChild().nextSibling();
  EXPECT_EQ(ref.type(), NodeType::EntityRef);
  EXPECT_EQ(ref.nodeName(), "nbsp");
  EXPECT_EQ(ref.text(), "\xC2\xA0");
  EXPECT_TRUE(ref.firstChild().isNull());
}

TEST(DomParse, Failures) {
  // Each failure replaces what the document held, detached nodes included.
  Page page("<a><b/></a>");
  ASSERT_EQ(page.root().removeChild(page.one("//b")), S_OK);
  const std::pair<std::string, int> cases[] = {
      {kDocType + "<p>&euro;</p>", 1},  // undeclared entity
      {"<a>\n<b>\n</a>", 3},            // the first error counts, not what follows
      {kDocType, 1},                    // no root element
      {"", 1},
      {"<a/><b/>", 1},
  };
  for (const auto& [xml, line] : cases) {
    EXPECT_EQ(page.doc.loadXML(xml), S_FALSE) << xml;
    Node none;
    EXPECT_EQ(page.doc.documentElement(none), S_FALSE);
    const ParseError& error = page.doc.parseError();
    EXPECT_FALSE(error.reason.empty()) << xml;
    EXPECT_NE(error.reason.back(), '\n');
    EXPECT_EQ(error.line, line) << xml << ": " << error.reason;
  }
}

TEST(DomParse, DeepTrees) {
  // Parsing stops at libxml2's depth limit instead of exhausting the stack.
  std::string nested;
  for (int i = 0; i < 50000; ++i) nested += "<d>";
  for (int i = 0; i < 50000; ++i) nested += "</d>";
  Document deep;
  EXPECT_EQ(deep.loadXML(nested), S_FALSE);
  EXPECT_TRUE(deep.documentElement().isNull());

  // A deeper tree built by edits is written, read and searched without
  // recursion.
  Page page("<r/>");
  const int depth = 100000;
  Node parent = page.root();
  for (int i = 0; i < depth; ++i) {
    Node child;
    ASSERT_EQ(page.doc.createElement("d", child), S_OK);
    ASSERT_EQ(parent.appendChild(child), S_OK);
    parent = child;
  }
  Node leaf;
  ASSERT_EQ(page.doc.createTextNode("x", leaf), S_OK);
  ASSERT_EQ(parent.appendChild(leaf), S_OK);
  std::string xml = page.root().xml();
  EXPECT_EQ(xml.size(), 3 + depth * 7u + 1 + 4);
  EXPECT_EQ(page.root().text(), "x");
  std::vector<Node> all;
  EXPECT_EQ(page.doc.selectNodes("//d", all), S_OK);
  EXPECT_EQ(all.size(), static_cast<size_t>(depth));
}

TEST(DomParse, ExternalEntityIsNotRead) {
  std::string secret = tempPath("secret.txt");
  { std::ofstream(secret) << "TOPSECRET"; }
  Document doc;
  doc.setPreserveWhiteSpace(true);
  EXPECT_EQ(doc.loadXML("<!DOCTYPE a [<!ENTITY e SYSTEM \"file://" + secret +
                        "\"><!ENTITY % p SYSTEM \"file://" + secret + "\">%p;]><a>&e;</a>"),
            S_OK);
  Node root = doc.documentElement();
  EXPECT_EQ(root.text().find("TOPSECRET"), std::string::npos);
  EXPECT_EQ(root.xml().find("TOPSECRET"), std::string::npos);
  std::remove(secret.c_str());
}

TEST(DomParse, EncodingDeclarationInTextIsIgnored) {
  for (const char* encoding : {"Shift_JIS", "UTF-16", "ISO-8859-1"}) {
    Document doc;
    std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                      "\"?><a>\xE3\x81\x82\xC3\xA9</a>";
    ASSERT_EQ(doc.loadXML(xml), S_OK) << encoding << ": " << doc.parseError().reason;
    EXPECT_EQ(doc.documentElement().text(), "\xE3\x81\x82\xC3\xA9") << encoding;
  }
}

TEST(DomLoad, FilesAndTheirEncodings) {
  Document doc;
  EXPECT_EQ(doc.load(tempPath("missing.setting")), S_FALSE);
  EXPECT_FALSE(doc.parseError().reason.empty());
  EXPECT_TRUE(doc.documentElement().isNull());

  // Shift_JIS bytes for "あ", honoured through the file's own declaration.
  std::string sjis = tempPath("sjis.setting");
  {
    std::ofstream(sjis, std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<root>\n  <v>\x82\xA0</v>\n</root>\n";
  }
  ASSERT_EQ(doc.load(sjis), S_OK) << doc.parseError().reason;
  Node v;
  EXPECT_EQ(doc.documentElement().selectSingleNode("v", v), S_OK);
  EXPECT_EQ(v.text(), "\xE3\x81\x82");
  // Without preserveWhiteSpace blank nodes are dropped.
  EXPECT_EQ(doc.documentElement().xml(), "<root><v>\xE3\x81\x82</v></root>");
  std::remove(sjis.c_str());

  std::string bad = tempPath("bad.setting");
  { std::ofstream(bad) << "<root>\n<a>\n</root>\n"; }
  EXPECT_EQ(doc.load(bad), S_FALSE);
  EXPECT_TRUE(doc.documentElement().isNull());
  EXPECT_EQ(doc.parseError().line, 3);
  std::remove(bad.c_str());
}

TEST(DomText, TrimmedOnlyWithoutPreserveWhiteSpace) {
  const std::string xml = "<r><v>  on \n</v><w>\t<x> a </x> b </w></r>";
  for (bool preserve : {false, true}) {
    Document doc;
    doc.setPreserveWhiteSpace(preserve);
    ASSERT_EQ(doc.loadXML(xml), S_OK);
    Node v, w;
    ASSERT_EQ(doc.documentElement().selectSingleNode("v", v), S_OK);
    ASSERT_EQ(doc.documentElement().selectSingleNode("w", w), S_OK);
    EXPECT_EQ(v.text(), preserve ? "  on \n" : "on");
    EXPECT_EQ(w.text(), preserve ? "\t a  b " : "a  b");
  }
}

TEST(DomAttributes, AbsentEmptyAndEdits) {
  Page page("<a href=\"\" id=\"x\" p:q=\"1\" xmlns:p=\"urn:p\">t</a>");
  Node a = page.root();
  const std::pair<const char*, HRESULT> reads[] = {
      {"href", S_OK}, {"accesskey", S_FALSE}, {"HREF", S_FALSE}, {"p:q", S_OK}, {"q", S_FALSE}};
  for (const auto& [name, expected] : reads) {
    std::string value = "junk";
    EXPECT_EQ(a.getAttribute(name, value), expected) << name;
    EXPECT_EQ(value, expected == S_OK && *name == 'p' ? "1" : "") << name;
  }
  EXPECT_EQ(a.setAttribute("id", "y"), S_OK);
  EXPECT_EQ(a.setAttribute("style", ""), S_OK);
  EXPECT_EQ(a.removeAttribute("href"), S_OK);
  EXPECT_EQ(a.removeAttribute("href"), S_OK);
  std::vector<std::pair<std::string, std::string>> list;
  EXPECT_EQ(a.attributes(list), S_OK);
  EXPECT_EQ(list, (decltype(list){{"id", "y"}, {"p:q", "1"}, {"style", ""}}));
  EXPECT_EQ(a.xml(), "<a xmlns:p=\"urn:p\" id=\"y\" p:q=\"1\" style=\"\">t</a>");

  // Values held in one text node, in several, or in none, each replaced.
  Page values("<r v1=\"a\" v2=\"a longer value than inline\" v3=\"x&nbsp;y\" v4=\"\" v5=\"z\"/>");
  const char* replacements[][2] = {
      {"v1", "new one"}, {"v2", "b"}, {"v3", "plain"}, {"v4", "filled"}, {"v5", ""}};
  for (const auto& [attr, replacement] : replacements) {
    std::string value;
    ASSERT_EQ(values.root().setAttribute(attr, replacement), S_OK) << attr;
    EXPECT_EQ(values.root().getAttribute(attr, value), S_OK);
    EXPECT_EQ(value, replacement) << attr;
  }
  EXPECT_EQ(values.root().xml(), "<r v1=\"new one\" v2=\"b\" v3=\"plain\" v4=\"filled\" v5=\"\"/>");

  std::string value;
  EXPECT_EQ(a.firstChild().getAttribute("x", value), E_INVALIDARG);
  EXPECT_EQ(a.firstChild().setAttribute("x", "1"), E_INVALIDARG);
  EXPECT_EQ(Node().getAttribute("x", value), E_POINTER);
  EXPECT_EQ(a.setAttribute("bad name", "1"), E_INVALIDARG);
  EXPECT_EQ(a.setAttribute("", "1"), E_INVALIDARG);
}

std::string names(const std::vector<Node>& nodes) {
  std::string out;
  for (const Node& n : nodes) {
    std::string id;
    if (n.isElement() && n.getAttribute("id", id) == S_OK) {
      out += id;
    } else {
      out += n.nodeName();
    }
    out += ' ';
  }
  return out;
}

TEST(DomSelect, FastPathAndXPathInDocumentOrder) {
  Page page(
      "<html><head><title id='t'/></head><body>"
      "<a id='a1' accesskey='1'/><form id='f1'><a id='a2'/></form>"
      "<div><a id='a3' accesskey=''><a id='a4' accesskey='2'/></a></div>"
      "<form id='f2' action='x'/><k-emoji id='e1'/></body></html>");
  struct Case {
    const char* context;  // "" is the document
    const char* pattern;
    const char* expected;
  };
  const Case cases[] = {
      {"", "//a", "a1 a2 a3 a4 "},
      {"", "//a[@accesskey]", "a1 a3 a4 "},
      {"", "//form|//a", "a1 f1 a2 a3 a4 f2 "},
      {"", " //a[@accesskey] | //form ", "a1 f1 a3 a4 f2 "},
      {"", "//a|//a[@accesskey]", "a1 a2 a3 a4 "},
      {"", "//k-emoji", "e1 "},
      {"", "html", "html "},
      {"", "body", ""},
      {"//body", "form", "f1 f2 "},
      {"//body", "form|div", "f1 div f2 "},
      {"//body", "form|//title", "t f1 f2 "},
      {"//form", "//a", "a1 a2 a3 a4 "},
      {"", "//nothing", ""},
      // libxml2's XPath for everything else.
      {"", "(//form|//a)[@id]", "a1 f1 a2 a3 a4 f2 "},
      {"", "//a[@accesskey='2']", "a4 "},
      {"//body", "./form", "f1 f2 "},
      {"//body", "*", "a1 f1 div f2 e1 "},
      {"", "//body//a/@id", "id id id id "},
      {"", "//form/@action|//title", "t action "},
  };
  for (const Case& c : cases) {
    Node context = *c.context ? page.one(c.context) : Node();
    std::vector<Node> found;
    HRESULT hr =
        *c.context ? context.selectNodes(c.pattern, found) : page.doc.selectNodes(c.pattern, found);
    EXPECT_EQ(hr, S_OK) << c.pattern;
    EXPECT_EQ(names(found), c.expected) << c.context << " / " << c.pattern;

    Node first;
    hr = *c.context ? context.selectSingleNode(c.pattern, first)
                    : page.doc.selectSingleNode(c.pattern, first);
    EXPECT_EQ(hr, found.empty() ? S_FALSE : S_OK) << c.pattern;
    EXPECT_EQ(first, found.empty() ? Node() : found.front()) << c.pattern;
  }
}

TEST(DomSelect, SnapshotDoesNotFollowEdits) {
  Page page("<r><k-emoji n='1'/><p><k-emoji n='2'/></p></r>");
  std::vector<Node> found;
  ASSERT_EQ(page.doc.selectNodes("//k-emoji", found), S_OK);
  ASSERT_EQ(found.size(), 2u);
  for (Node& e : found) {
    Node img;
    ASSERT_EQ(page.doc.createElement("k-emoji", img), S_OK);
    ASSERT_EQ(e.parentNode().replaceChild(img, e), S_OK);
  }
  EXPECT_EQ(found.size(), 2u);
  EXPECT_EQ(page.root().xml(), "<r><k-emoji/><p><k-emoji/></p></r>");
  std::string n;
  EXPECT_EQ(found[1].getAttribute("n", n), S_OK);
  EXPECT_EQ(n, "2");
}

TEST(DomSelect, DefaultNamespaceElementsFoundByName) {
  Page page("<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><a href='/x'/></body></html>");
  std::vector<Node> found;
  EXPECT_EQ(page.doc.selectNodes("//a[@href]", found), S_OK);
  EXPECT_EQ(found.size(), 1u);
  EXPECT_EQ(page.doc.selectNodes("html", found), S_OK);
  EXPECT_EQ(found.size(), 1u);
}

TEST(DomSelect, InvalidPatterns) {
  Page page("<r/>");
  std::vector<Node> found;
  for (const char* pattern : {"//", "//a[", "a||b", "count(//a)", "///", ""}) {
    EXPECT_LT(page.doc.selectNodes(pattern, found), 0) << pattern;
    EXPECT_TRUE(found.empty());
  }
}

TEST(DomEdit, FragmentInsertAndReplace) {
  struct Case {
    const char* op;
    const char* expected;
  };
  const Case cases[] = {
      {"append", "<r><x/><y/>t<z/><f1/><f2>u</f2>v</r>"},
      {"before", "<r><x/><f1/><f2>u</f2>v<y/>t<z/></r>"},
      {"replace", "<r><x/><f1/><f2>u</f2>vt<z/></r>"},
  };
  for (const Case& c : cases) {
    Page page("<r><x/><y/>t<z/></r>");
    Node fragment, f1, f2, u, v;
    ASSERT_EQ(page.doc.createDocumentFragment(fragment), S_OK);
    ASSERT_EQ(page.doc.createElement("f1", f1), S_OK);
    ASSERT_EQ(page.doc.createElement("f2", f2), S_OK);
    ASSERT_EQ(page.doc.createTextNode("u", u), S_OK);
    ASSERT_EQ(page.doc.createTextNode("v", v), S_OK);
    ASSERT_EQ(f2.appendChild(u), S_OK);
    for (Node n : {f1, f2, v}) ASSERT_EQ(fragment.appendChild(n), S_OK);
    EXPECT_EQ(fragment.xml(), "<f1/><f2>u</f2>v");
    EXPECT_EQ(fragment.nodeName(), "#document-fragment");

    Node y = page.one("//y");
    std::string op = c.op;
    HRESULT hr = op == "append"   ? page.root().appendChild(fragment)
                 : op == "before" ? page.root().insertBefore(fragment, y)
                                  : page.root().replaceChild(fragment, y);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(page.root().xml(), c.expected) << c.op;
    EXPECT_TRUE(fragment.firstChild().isNull()) << c.op;
    EXPECT_EQ(v.parentNode(), page.root());
    EXPECT_EQ(y.xml(), "<y/>");
  }
}

TEST(DomEdit, RemovedAndReplacedNodesStayUsable) {
  Page page("<r><a href='/1'>one</a><b>two</b><c/></r>");
  Node a = page.one("//a");
  Node b = page.one("//b");
  Node c = page.one("//c");
  Node fresh;
  ASSERT_EQ(page.doc.createElement("n", fresh), S_OK);
  ASSERT_EQ(page.root().removeChild(a), S_OK);
  ASSERT_EQ(page.root().replaceChild(fresh, b), S_OK);
  EXPECT_EQ(page.root().xml(), "<r><n/><c/></r>");

  EXPECT_TRUE(a.parentNode().isNull());
  EXPECT_EQ(a.text(), "one");
  std::string href;
  EXPECT_EQ(a.getAttribute("href", href), S_OK);
  EXPECT_EQ(href, "/1");
  EXPECT_EQ(b.text(), "two");
  EXPECT_TRUE(b.parentNode().isNull());

  // Both go back into the tree, one of them inside a removed node first.
  ASSERT_EQ(b.appendChild(a), S_OK);
  ASSERT_EQ(c.appendChild(b), S_OK);
  EXPECT_EQ(page.root().xml(), "<r><n/><c><b>two<a href=\"/1\">one</a></b></c></r>");

  // Removing the same node twice, and removing a subtree holding a
  // formerly detached node, must still free everything exactly once.
  ASSERT_EQ(page.root().removeChild(c), S_OK);
  EXPECT_EQ(page.root().removeChild(c), E_INVALIDARG);
  EXPECT_EQ(page.root().xml(), "<r><n/></r>");
}

TEST(DomEdit, AdjacentTextIsNeverMerged) {
  Page page("<p>tail</p>");
  Node tail = page.root().firstChild();
  Node head, middle;
  ASSERT_EQ(page.doc.createTextNode("head", head), S_OK);
  ASSERT_EQ(page.doc.createTextNode("mid", middle), S_OK);
  ASSERT_EQ(page.root().insertBefore(head, tail), S_OK);
  ASSERT_EQ(page.root().insertBefore(middle, tail), S_OK);
  EXPECT_EQ(head.text(), "head");
  EXPECT_EQ(middle.text(), "mid");
  EXPECT_EQ(tail.text(), "tail");
  EXPECT_EQ(page.root().firstChild(), head);
  EXPECT_EQ(head.nextSibling(), middle);
  EXPECT_EQ(middle.nextSibling(), tail);
  EXPECT_EQ(page.root().xml(), "<p>headmidtail</p>");
  ASSERT_EQ(page.root().removeChild(middle), S_OK);
  EXPECT_EQ(head.nextSibling(), tail);
  EXPECT_EQ(middle.text(), "mid");
}

TEST(DomEdit, MovesAndNoOps) {
  Page page("<r><a/><b/><c/></r>");
  Node a = page.one("//a"), b = page.one("//b"), c = page.one("//c");
  EXPECT_EQ(page.root().appendChild(a), S_OK);
  EXPECT_EQ(page.root().xml(), "<r><b/><c/><a/></r>");
  EXPECT_EQ(page.root().insertBefore(a, b), S_OK);
  EXPECT_EQ(page.root().xml(), "<r><a/><b/><c/></r>");
  EXPECT_EQ(page.root().insertBefore(b, b), S_OK);
  EXPECT_EQ(page.root().replaceChild(c, c), S_OK);
  EXPECT_EQ(page.root().insertBefore(c, Node()), S_OK);
  EXPECT_EQ(page.root().xml(), "<r><a/><b/><c/></r>");
  EXPECT_EQ(page.root().replaceChild(c, a), S_OK);
  EXPECT_EQ(page.root().xml(), "<r><c/><b/></r>");
  EXPECT_EQ(b.appendChild(c), S_OK);
  EXPECT_EQ(page.root().xml(), "<r><b><c/></b></r>");
}

TEST(DomEdit, RefusedEdits) {
  Page page("<r><a><b/></a><c/>t</r>");
  Node r = page.root(), a = page.one("//a"), b = page.one("//b"), c = page.one("//c");
  Node t = c.nextSibling();
  Node fragment, extra;
  ASSERT_EQ(page.doc.createDocumentFragment(fragment), S_OK);
  ASSERT_EQ(page.doc.createElement("x", extra), S_OK);
  Page other("<o/>");
  Node document = r.parentNode();
  ASSERT_EQ(document.type(), NodeType::Document);

  struct Case {
    const char* what;
    HRESULT got;
    HRESULT expected;
  };
  const Case cases[] = {
      {"append parent into child", b.appendChild(a), E_INVALIDARG},
      {"append root into grandchild", b.appendChild(r), E_INVALIDARG},
      {"append self", a.appendChild(a), E_INVALIDARG},
      {"ref not a child", r.insertBefore(extra, b), E_INVALIDARG},
      {"old not a child", r.replaceChild(extra, b), E_INVALIDARG},
      {"remove not a child", r.removeChild(b), E_INVALIDARG},
      {"replace by an ancestor", a.replaceChild(r, b), E_INVALIDARG},
      {"child of a text node", t.appendChild(extra), E_INVALIDARG},
      {"node of another document", r.appendChild(other.root()), E_INVALIDARG},
      {"second root element", document.appendChild(extra), E_INVALIDARG},
      {"text under the document", document.appendChild(t), E_INVALIDARG},
      {"null new child", r.appendChild(Node()), E_POINTER},
      {"null old child", r.replaceChild(extra, Node()), E_POINTER},
      {"null parent", Node().appendChild(extra), E_POINTER},
      {"null removal", r.removeChild(Node()), E_POINTER},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
  EXPECT_EQ(r.xml(), "<r><a><b/></a><c/>t</r>");
  EXPECT_EQ(other.root().xml(), "<o/>");

  // Putting a fragment into one of its own descendants is a cycle too.
  ASSERT_EQ(fragment.appendChild(extra), S_OK);
  EXPECT_EQ(extra.appendChild(fragment), E_INVALIDARG);
  // Replacing the root element by another element is allowed.
  Node newRoot;
  ASSERT_EQ(page.doc.createElement("n", newRoot), S_OK);
  EXPECT_EQ(document.replaceChild(newRoot, r), S_OK);
  EXPECT_EQ(page.doc.documentElement(), newRoot);
}

// libxml2 allocations that fail after a budget, for the test process only.
std::atomic<long> gAllocationBudget{-1};

bool allocationAllowed() {
  long budget = gAllocationBudget.load();
  while (budget > 0 && !gAllocationBudget.compare_exchange_weak(budget, budget - 1)) {
  }
  return budget != 0;
}
void* budgetMalloc(size_t size) { return allocationAllowed() ? std::malloc(size) : nullptr; }
void* budgetRealloc(void* p, size_t size) {
  return allocationAllowed() ? std::realloc(p, size) : nullptr;
}
char* budgetStrdup(const char* s) { return allocationAllowed() ? strdup(s) : nullptr; }

void quiet(void*, const char*, ...) {}

TEST(DomMemory, AllocationFailuresAreReportedNotFatal) {
  // libxml2 reports some allocation failures only through its global
  // handler; keep them off the test output.
  xmlSetGenericErrorFunc(nullptr, quiet);
  xmlMemSetup(std::free, budgetMalloc, budgetRealloc, budgetStrdup);
  const std::string page = kDocType + "<html><body><a href='/x' accesskey='1'>a&nbsp;b</a>" +
                           "<k-emoji num='1'/><p>text</p></body></html>";
  int outOfMemory = 0;
  for (long budget = 0;; ++budget) {
    Document doc;
    doc.setPreserveWhiteSpace(true);
    gAllocationBudget = budget;
    std::vector<HRESULT> results;
    results.push_back(doc.loadXML(page));
    const bool loaded = results[0] == S_OK;
    if (loaded) {
      Node element, text, emoji;
      std::vector<Node> found;
      results.push_back(doc.createElement("img", element));
      results.push_back(doc.createTextNode("t", text));
      if (element) results.push_back(element.setAttribute("src", "/e/001.gif"));
      results.push_back(doc.selectSingleNode("//k-emoji", emoji));
      if (emoji && element) results.push_back(emoji.parentNode().replaceChild(element, emoji));
      // The filter's own patterns; libxml2's XPath is not safe when an
      // allocation fails, so it stays out of this sweep.
      results.push_back(doc.selectNodes("//a[@accesskey]|//k-emoji", found));
      results.push_back(doc.documentElement().setAttribute("lang", "ja"));
    }
    bool done = gAllocationBudget.load() != 0;
    gAllocationBudget = -1;
    // A load that did not succeed leaves no content behind.
    if (!loaded) {
      EXPECT_TRUE(doc.documentElement().isNull()) << "budget " << budget;
    }
    for (size_t i = 0; i < results.size(); ++i) {
      HRESULT hr = results[i];
      EXPECT_TRUE(hr == S_OK || hr == S_FALSE || hr == E_OUTOFMEMORY)
          << "budget " << budget << " step " << i << ": " << std::hex << hr;
      if (hr == E_OUTOFMEMORY) ++outOfMemory;
    }
    if (done) {
      EXPECT_TRUE(loaded);
      for (HRESULT hr : results) EXPECT_EQ(hr, S_OK);
      break;
    }
  }
  EXPECT_GT(outOfMemory, 0);
  xmlMemSetup(std::free, std::malloc, std::realloc, strdup);
  xmlSetGenericErrorFunc(nullptr, nullptr);
}

// The DOCTYPE is written by libxml2; when it cannot allocate, the write
// fails rather than leaving the DOCTYPE out.
TEST(DomMemory, DocTypeIsWrittenWholeOrNotAtAll) {
  Page page("<html><body/></html>");
  const Node document = page.root().parentNode();
  const std::string expected = document.xml();
  ASSERT_EQ(expected.find("<!DOCTYPE html"), 0u);
  xmlSetGenericErrorFunc(nullptr, quiet);
  xmlMemSetup(std::free, budgetMalloc, budgetRealloc, budgetStrdup);
  int failedWrites = 0;
  for (long budget = 0;; ++budget) {
    gAllocationBudget = budget;
    std::string out;
    bool threw = false;
    try {
      document.appendXml(out);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    bool done = gAllocationBudget.load() != 0;
    gAllocationBudget = -1;
    if (threw) {
      ++failedWrites;
    } else {
      EXPECT_EQ(out, expected) << "budget " << budget;
    }
    if (done) break;
  }
  EXPECT_GT(failedWrites, 0);
  xmlMemSetup(std::free, std::malloc, std::realloc, strdup);
  xmlSetGenericErrorFunc(nullptr, nullptr);
}

}  // namespace
}  // namespace vantomer::dom
