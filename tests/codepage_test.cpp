#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <thread>
#include <vector>

namespace vantomer::codepage {
namespace {

std::string encoded(int codePage, std::string_view utf8) {
  std::string out = "stale";
  EXPECT_EQ(encode(codePage, utf8, out), S_OK) << codePage;
  return out;
}

std::string decoded(int codePage, std::string_view bytes) {
  std::string out = "stale";
  EXPECT_EQ(decode(codePage, bytes, out), S_OK) << codePage;
  return out;
}

struct EncodeCase {
  const char* name;
  int codePage;
  std::string utf8;
  std::string bytes;
};

TEST(CodePage, EncodesAndDecodesBothWays) {
  const std::vector<EncodeCase> cases = {
      {"i-mode emoji in the user-defined area", 932, "\xEE\x98\xBE", "\xF8\x9F"},
      {"hiragana and kanji", 932, "a\xE3\x81\x82\xE6\xBC\xA2", "a\x82\xA0\x8A\xBF"},
      {"half-width katakana", 932, "\xEF\xBD\xB1", "\xB1"},
      {"wave dash as CP932 has it", 932, "\xEF\xBD\x9E", "\x81\x60"},
      {"NEC circled digit", 932, "\xE2\x91\xA0", "\x87\x40"},
      {"code page 0 is the ANSI code page", 0, "\xE3\x81\x82", "\x82\xA0"},
      {"EUC-JP", 51932, "\xE3\x81\x82", "\xA4\xA2"},
      {"EUC-JP wave dash", 20932, "\xEF\xBD\x9E", "\xA1\xC1"},
      {"UTF-16LE with a surrogate pair", 1200, "a\xF0\x9F\x98\x80",
       std::string("a\0\x3D\xD8\x00\xDE", 6)},
      {"UTF-16BE", 1201, "a\xE3\x81\x82", std::string("\0a\x30\x42", 4)},
      {"Latin-1", 28591, "\xC3\xA9", "\xE9"},
      {"Windows-1252 euro", 1252, "\xE2\x82\xAC", "\x80"},
      {"UTF-8 is copied", 65001, "a\xE3\x81\x82\xF0\x9F\x98\x80", "a\xE3\x81\x82\xF0\x9F\x98\x80"},
      {"ISO-2022-JP", 50220,
       "a\xE3\x81\x82\xE6\xBC\xA2"
       "b",
       "a\x1B$B$\"4A\x1B(Bb"},
      {"ISO-2022-JP keeps CP932 rows", 50220, "\xEF\xBD\x9E\xE2\x91\xA0", "\x1B$B!A-!\x1B(B"},
      {"ISO-2022-JP with escaped kana", 50221,
       "\xEF\xBD\xB1"
       "a",
       "\x1B(I1\x1B(Ba"},
      {"ISO-2022-JP with shifted kana", 50222, "\xE3\x81\x82\xEF\xBD\xB1",
       "\x1B$B$\"\x1B(B\x0E\x31\x0F"},
      {"empty text", 932, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(encoded(c.codePage, c.utf8), c.bytes);
    EXPECT_EQ(decoded(c.codePage, c.bytes), c.utf8);
  }
}

TEST(CodePage, MissingCharactersBecomeQuestionMarks) {
  const std::vector<EncodeCase> cases = {
      {"accented letter to CP932", 932, "a\xC3\xA9z", "a?z"},
      {"emoji outside the user-defined area", 932, "\xF0\x9F\x98\x80!", "?!"},
      {"kana to ASCII", 20127, "x\xE3\x81\x82y", "x?y"},
      {"kana to Latin-1", 28591, "\xE3\x81\x82\xE3\x81\x84", "??"},
      {"invalid UTF-8 to CP932", 932,
       "a\xFF"
       "b",
       "a?b"},
      {"truncated UTF-8 at the end", 932, "a\xE3\x81", "a?"},
      {"question mark in UTF-16", 1200, "\xC3\xA9\xFF", std::string("\xE9\0\xFD\xFF", 4)},
      {"question mark inside a JIS run", 50220, "\xE3\x81\x82\xC3\xA9", "\x1B$B$\"\x1B(B?"},
      {"user-defined area has no JIS form", 50220, "\xEE\x98\xBE", "?"},
      {"half-width kana widened, sound mark merged", 50220, "\xEF\xBD\xB6\xEF\xBE\x9E",
       "\x1B$B%,\x1B(B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(encoded(c.codePage, c.utf8), c.bytes);
  }
}

// Code page 932 is written from a table made once from iconv's answers: every
// character of the Basic Multilingual Plane must come out as iconv alone
// writes it, and so must the characters around each one.
TEST(CodePage, ShiftJisMatchesIconvForEveryCharacter) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string text;
  std::string expected;
  for (char32_t c = 0x20; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string utf8;
    if (c < 0x80) {
      utf8 = static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      utf8 = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
    char out[8];
    char* in = utf8.data();
    std::size_t inLeft = utf8.size();
    char* dst = out;
    std::size_t dstLeft = sizeof out;
    if (iconv(cd, &in, &inLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
      expected += '?';
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      expected.append(out, static_cast<std::size_t>(dst - out));
    }
    text += utf8;
  }
  iconv_close(cd);
  EXPECT_TRUE(encoded(932, text) == expected);
  // ISO-2022-JP starts from the same bytes (the IBM row has no JIS form).
  EXPECT_EQ(encoded(50220, "\xE2\x80\x95\xEF\xBD\x9E\xE2\x85\xB0"), "\x1B$B!=!A\x1B(B?");
}

TEST(CodePage, InvalidBytesDecodeToReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<EncodeCase> cases = {
      {"CP932 byte that is no character", 932,
       "a\xFD"
       "b",
       "a" + fffd + "b"},
      {"CP932 lead byte at the end", 932, "a\x82", "a" + fffd},
      {"ASCII high byte", 20127, "\x80z", fffd + "z"},
      {"odd UTF-16 byte", 1200, std::string("a\0b", 3), "a" + fffd},
      {"lone UTF-16 surrogate", 1200,
       std::string("\x3D\xD8"
                   "a\0",
                   4),
       fffd + "a"},
      {"stray 8-bit byte in JIS", 50220,
       "a\xB1"
       "b",
       "a" + fffd + "b"},
      {"unknown JIS escape", 50220, "\x1B$(Qa", fffd + "$(Qa"},
      {"UTF-8 stray continuation", 65001,
       "a\x80"
       "b",
       "a" + fffd + "b"},
      {"UTF-8 truncated sequence is one replacement", 65001, "\xE3\x81z", fffd + "z"},
      {"UTF-8 overlong", 65001, "\xC0\xAF", fffd + fffd},
      {"UTF-8 surrogate", 65001, "\xED\xA0\x80", fffd + fffd + fffd},
      {"UTF-8 above U+10FFFF", 65001, "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
      {"UTF-8 byte order mark stays", 65001, "\xEF\xBB\xBFx", "\xEF\xBB\xBFx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decoded(c.codePage, c.utf8), c.bytes);
  }
  // Encoding into UTF-8 repairs the same way.
  EXPECT_EQ(encoded(65001, "a\x80\xE3\x81"), "a" + fffd + fffd);
}

// Long texts mixing ASCII runs of every length with other characters,
// characters the code page lacks and broken UTF-8 come out as if each
// piece were converted on its own.
TEST(CodePage, MixedTextEncodesLikeItsPieces) {
  const std::vector<std::string> pieces = {"a",
                                           "<p class=\"x\">",
                                           std::string(15, 'b'),
                                           std::string(16, 'c'),
                                           std::string(1500, 'd'),
                                           "\xE3\x81\x82",
                                           "\xEE\x98\xBE",
                                           "\xC3\xA9",
                                           "\xF0\x9F\x98\x80",
                                           "\xFF",
                                           "\\~"};
  for (int cp : {932, 20932, 1252}) {
    SCOPED_TRACE(cp);
    std::string text, expected;
    unsigned seed = 7;
    for (int i = 0; i < 3000; ++i) {
      seed = seed * 1103515245u + 12345u;
      const std::string& piece = pieces[(seed >> 16) % pieces.size()];
      std::string encoded;
      ASSERT_EQ(vantomer::codepage::encode(cp, piece, encoded), vantomer::S_OK);
      text += piece;
      expected += encoded;
    }
    std::string out;
    ASSERT_EQ(vantomer::codepage::encode(cp, text, out), vantomer::S_OK);
    EXPECT_EQ(out, expected);
  }
}

// Appending writes exactly what a fresh conversion writes, after what is
// there; every kind of converter, with characters that are missing or invalid.
TEST(CodePage, AppendingKeepsWhatIsThere) {
  const std::string text = "a\xE3\x81\x82\xC3\xA9\xFF\xEF\xBD\xB6z";
  for (int number : {932, 65001, 20932, 50220, 50221, 50222, 1200, 12001, 1252}) {
    SCOPED_TRACE(number);
    std::string out = "prefix";
    ASSERT_EQ(encodeAppend(number, text, out), S_OK);
    EXPECT_EQ(out, "prefix" + encoded(number, text));
    const std::string bytes = encoded(number, text);
    out = "prefix";
    ASSERT_EQ(decodeAppend(number, bytes, out), S_OK);
    EXPECT_EQ(out, "prefix" + decoded(number, bytes));
  }
}

TEST(CodePage, UnknownNumberIsRefusedAndLeavesOutputAlone) {
  for (int number : {1, 42, 65000, -1, 99999}) {
    std::string out = "untouched";
    EXPECT_EQ(encode(number, "a", out), E_INVALIDARG) << number;
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(decode(number, "a", out), E_INVALIDARG) << number;
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(encodeAppend(number, "a", out), E_INVALIDARG) << number;
    EXPECT_EQ(decodeAppend(number, "a", out), E_INVALIDARG) << number;
    EXPECT_EQ(out, "untouched");
    EXPECT_FALSE(isKnown(number));
  }
  for (int number : {0, 932, 65001, 1200, 50221, 1252, 54936}) {
    EXPECT_TRUE(isKnown(number)) << number;
  }
}

TEST(CodePage, LargeTextsInPlaceAndNoStateCarriedOver) {
  // Grows past every first size estimate, with substitutions all along.
  std::string utf8, expected;
  for (int i = 0; i < 20000; ++i) {
    utf8 += "\xEF\xBD\xB1\xE3\x81\x82z\xF0\x9F\x98\x80";
    expected += "\xEF\xBD\xB1\xE3\x81\x82z?";
  }
  for (int cp : {932, 50221, 51932}) {
    std::string text = utf8;
    ASSERT_EQ(encode(cp, text, text), S_OK) << cp;  // the input may be the output
    ASSERT_EQ(decode(cp, text, text), S_OK) << cp;
    EXPECT_TRUE(text == expected) << cp;
  }
  // A conversion left inside a JIS run must not shift the next one.
  EXPECT_EQ(decoded(50220, "\x1B$B$\""), "\xE3\x81\x82");
  EXPECT_EQ(decoded(50220, "a"), "a");
}

TEST(CodePage, ConvertsConcurrentlyOnManyThreads) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 200; ++i) {
        std::string bytes, back;
        if (encode(932, "\xE3\x81\x82\xEE\x98\xBE", bytes) != S_OK || bytes != "\x82\xA0\xF8\x9F" ||
            decode(932, bytes, back) != S_OK || back != "\xE3\x81\x82\xEE\x98\xBE")
          ++failures[t];
      }
    });
  }
  for (auto& t : threads) t.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(CodePage, Utf16Length) {
  const std::vector<std::pair<std::string, std::size_t>> cases = {
      {"", 0},
      {"abc", 3},
      {"\xC3\xA9", 1},
      {"\xE3\x81\x82", 1},
      {"\xF0\x9F\x98\x80", 2},
      {"a\xF0\x9F\x98\x80"
       "b",
       4},
      {"\xFF\xFE", 2},
      {"\xE3\x81", 2},
  };
  for (const auto& [text, units] : cases) EXPECT_EQ(utf16Length(text), units) << text;
}

}  // namespace
}  // namespace vantomer::codepage
