#include "convert/load_document.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace vantomer {
namespace {

// A single-byte ANSI code page, so that "code page 0" and Shift_JIS decode
// the same bytes differently. Set before anything reads it.
const bool kAnsiSet = setenv("VANTOMER_ANSI_CODEPAGE", "1252", 1) == 0;

HRESULT load(const InputCoordinator& input, std::optional<std::string> contentType,
             std::string_view body, dom::Document& document) {
  HeldResponse response;
  if (contentType) response.headers.emplace("Content-Type", *contentType);
  const ResponseBody held(body);
  return LoadDocument(input, response, held, document);
}

HRESULT load(std::string_view body, dom::Document& document) {
  return load(InputCoordinator{}, "text/x-telmark; charset=UTF-8", body, document);
}

std::string rootXml(const dom::Document& document) { return document.documentElement().xml(); }

TEST(LoadDocumentTest, CharsetChoosesTheSourceCodePage) {
  ASSERT_TRUE(kAnsiSet);
  ASSERT_EQ(codepage::ansiCodePage(), 1252);
  const std::string sjis = "\x82\xA0";              // HIRAGANA A in Shift_JIS
  const std::string utf8 = "\xE3\x81\x82";          // the same in UTF-8
  const std::string ansi = "\xE2\x80\x9A\xC2\xA0";  // 82 A0 read as 1252
  struct Row {
    std::optional<std::string> contentType;
    std::string bytes;
    std::string text;
  };
  const std::vector<Row> rows = {
      {"text/x-telmark; charset=Shift_JIS", sjis, utf8},
      {"text/x-telmark; charset=shift_jis", sjis, utf8},
      {"text/x-telmark;CHARSET=SHIFT_JIS", sjis, utf8},
      {"text/x-telmark; charset=UTF-8", utf8, utf8},
      {"text/x-telmark; charset=utf-8", utf8, utf8},
      {"text/x-telmark; charset=Shift-JIS", sjis, ansi},
      {"text/x-telmark; charset=\"Shift_JIS\"", sjis, ansi},
      {"text/x-telmark; charset=Shift_JIS ", sjis, ansi},
      {"text/x-telmark; charset=EUC-JP", sjis, ansi},
      {"text/x-telmark", sjis, ansi},
      {std::nullopt, sjis, ansi},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.contentType.value_or("(no Content-Type)"));
    dom::Document document;
    ASSERT_EQ(load(InputCoordinator{}, row.contentType, "<p>" + row.bytes + "</p>", document),
              S_OK);
    EXPECT_EQ(document.documentElement().text(), row.text);
  }
}

TEST(LoadDocumentTest, OutcomeOfTheParse) {
  using namespace std::string_literals;
  struct Row {
    std::string name;
    std::string body;
    HRESULT expected;
    std::string rootText;  // of the page or of the error page
  };
  const std::string errorText = "ERRORTELMARK Parse Error occured.";
  const std::vector<Row> rows = {
      {"plain", "<p>a b</p>", S_OK, "a b"},
      {"body cut at NUL", "<p>a</p>\0<broken"s, S_OK, "a"},
      {"whitespace kept", "<p> <b>x</b> </p>", S_OK, " x "},
      {"declared entities", "<p>&nbsp;&copy;&reg;</p>", S_OK, "\u00A0\u00A9\u00AE"},
      {"empty body", "", S_FALSE, errorText},
      {"NUL first", "\0<p>a</p>"s, S_FALSE, errorText},
      {"XML declaration behind the DOCTYPE", "<?xml version=\"1.0\"?><p>a</p>", S_FALSE, errorText},
      {"undeclared entity", "<p>&hellip;</p>", S_FALSE, errorText},
      {"unclosed element", "<p><b>a</p>", S_FALSE, errorText},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    dom::Document document;
    ASSERT_EQ(load(row.body, document), row.expected);
    EXPECT_EQ(document.documentElement().text(), row.rootText);
  }
}

TEST(LoadDocumentTest, DefaultErrorPageStandsInWhole) {
  dom::Document document;
  ASSERT_EQ(load("<p>", document), S_FALSE);
  EXPECT_EQ(rootXml(document), kDefaultErrorSource);
}

TEST(LoadDocumentTest, DetailedErrorPageListsReasonLineAndSource) {
  InputCoordinator input;
  input.errorSource.clear();
  const std::string body = "<p>a &amp; \"b\"\n\n<q></p>";
  dom::Document document;
  ASSERT_EQ(load(input, "text/x-telmark", body, document), S_FALSE);

  const dom::Node root = document.documentElement();
  EXPECT_EQ(root.nodeName(), "html");
  std::vector<dom::Node> nodes;
  ASSERT_EQ(document.selectNodes("/html/body/div", nodes), S_OK);
  ASSERT_EQ(nodes.size(), 1u);
  const std::string reason = nodes[0].text();
  // The DOCTYPE has no line break, so the line is the body's own.
  EXPECT_NE(reason.find("[line:3]"), std::string::npos) << reason;
  EXPECT_EQ(reason.back(), ']');
  ASSERT_EQ(document.selectNodes("/html/body/hr", nodes), S_OK);
  EXPECT_EQ(nodes.size(), 1u);
  ASSERT_EQ(document.selectNodes("/html/body/pre", nodes), S_OK);
  ASSERT_EQ(nodes.size(), 1u);
  // Escaped so that it reads back as the very text the parser got.
  EXPECT_EQ(nodes[0].text(), input.docType + body);
}

TEST(LoadDocumentTest, ErrorPageThatDoesNotParseFails) {
  InputCoordinator input;
  input.errorSource = "<html><body>";
  dom::Document document;
  EXPECT_EQ(load(input, "text/x-telmark", "<p>", document), E_FAIL);
}

TEST(LoadDocumentTest, AccesskeyIcons) {
  InputCoordinator input;
  input.accesskeyIcons["1"] = AccesskeyIcon{"63", ""};
  input.accesskeyIcons["2"] = AccesskeyIcon{"", "[2]"};
  input.accesskeyIcons["a"] = AccesskeyIcon{"70", ""};
  input.accesskeyIcons["3"] = AccesskeyIcon{"", ""};
  struct Row {
    std::string name;
    std::string body;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"emoji", "<p><a accesskey=\"1\" href=\"x\">A</a></p>",
       "<p><k-emoji num=\"63\"/><a accesskey=\"1\" href=\"x\">A</a></p>"},
      {"text", "<p>x<a accesskey=\"2\">B</a></p>", "<p>x[2]<a accesskey=\"2\">B</a></p>"},
      {"key compared with case", "<p><a accesskey=\"A\">C</a></p>",
       "<p><a accesskey=\"A\">C</a></p>"},
      {"key compared whole", "<p><a accesskey=\"12\">C</a></p>",
       "<p><a accesskey=\"12\">C</a></p>"},
      {"icon with neither", "<p><a accesskey=\"3\">C</a></p>", "<p><a accesskey=\"3\">C</a></p>"},
      {"two anchors, one key", "<p><a accesskey=\"2\">x</a><a accesskey=\"2\">y</a></p>",
       "<p>[2]<a accesskey=\"2\">x</a>[2]<a accesskey=\"2\">y</a></p>"},
      {"nested anchor", "<div><p><b><a accesskey=\"1\">x</a></b></p></div>",
       "<div><p><b><k-emoji num=\"63\"/><a accesskey=\"1\">x</a></b></p></div>"},
      {"other elements ignored", "<p><b accesskey=\"1\">x</b><a href=\"1\">y</a></p>",
       "<p><b accesskey=\"1\">x</b><a href=\"1\">y</a></p>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    dom::Document document;
    ASSERT_EQ(load(input, "text/x-telmark", row.body, document), S_OK);
    EXPECT_EQ(rootXml(document), row.expected);
  }
}

TEST(LoadDocumentTest, ErrorPageGetsNoIcons) {
  InputCoordinator input;
  input.errorSource = "<p><a accesskey=\"1\">x</a></p>";
  input.accesskeyIcons["1"] = AccesskeyIcon{"", "[1]"};
  dom::Document document;
  ASSERT_EQ(load(input, "text/x-telmark", "<p>", document), S_FALSE);
  EXPECT_EQ(rootXml(document), input.errorSource);
}

}  // namespace
}  // namespace vantomer
