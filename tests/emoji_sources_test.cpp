// The example emoji table against Unicode's mapping of the carriers' emoji
// (EmojiSources.txt, Debian package unicode-data): each family gets the code
// of the same Unicode emoji wherever code page 932 carries it, a best-fit
// only where the mapping pairs none, and every i-mode emoji of the mapping
// has a number. The line comments that document this are checked too.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "emoji/emoji_table.h"
#include "platform/codepage.h"
#include "support/paths.h"

namespace vantomer::test {
namespace {

constexpr const char* kEmojiSources = "/usr/share/unicode/EmojiSources.txt";

enum Family { kIMode, kEZweb, kJSky, kFamilies };
const EmojiType kTypes[kFamilies] = {EmojiType::IMode, EmojiType::EZweb, EmojiType::JSky};
const char* const kNames[kFamilies] = {"i-mode", "EZweb", "J-SKY"};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string hex4(int code) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", code);
  return text;
}

// The user-defined area that code page 932 maps onto U+E000..U+E757.
bool carried(int code) { return code >= 0xF040 && code <= 0xF9FC; }

struct Source {
  std::string unicode;  // "2600", "0031+20E3"
  std::optional<int> code[kFamilies];
};

// Every mapping line, and per family its codes.
struct Sources {
  std::vector<Source> lines;
  std::map<int, const Source*> byCode[kFamilies];
};

void parseSources(const std::string& text, Sources& sources) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream fieldsIn(line + ";");  // keeps an empty last field
    for (std::string field; std::getline(fieldsIn, field, ';');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 4u) << line;
    Source source;
    source.unicode = std::regex_replace(fields[0], std::regex(" "), "+");
    for (int f = 0; f < kFamilies; ++f)
      if (!fields[f + 1].empty()) source.code[f] = std::stoi(fields[f + 1], nullptr, 16);
    sources.lines.push_back(source);
  }
  for (const Source& source : sources.lines)
    for (int f = 0; f < kFamilies; ++f)
      if (source.code[f]) sources.byCode[f][*source.code[f]] = &source;
}

// The Shift_JIS code that a family's text reaches the handset as, or none
// when the family has no text; a text that is not one carried code fails.
std::optional<int> handsetCode(const EmojiTable& table, Family family, int32_t number) {
  const std::string* text = table.lookup(kTypes[family], number);
  if (!text) return std::nullopt;
  std::string bytes;
  EXPECT_EQ(codepage::encode(932, *text, bytes), S_OK);
  if (bytes.size() != 2) {
    ADD_FAILURE() << kNames[family] << " text is not one two-byte code";
    return std::nullopt;
  }
  const int code = static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
  EXPECT_TRUE(carried(code)) << kNames[family] << " " << hex4(code);
  return code;
}

// How the line comment must describe a family's entry.
std::string expectedToken(const Sources& sources, const Source* source, Family family,
                          std::optional<int> actual) {
  const std::optional<int> paired = source ? source->code[family] : std::nullopt;
  if (paired && carried(*paired)) {
    EXPECT_EQ(actual, paired) << kNames[family] << " must be the equivalent " << hex4(*paired);
    return hex4(*paired);
  }
  if (paired) {
    EXPECT_EQ(actual, std::nullopt) << kNames[family] << ": no best-fit where an equivalent exists";
    return "none(" + hex4(*paired) + ")";
  }
  if (!actual) return "none";
  // A best-fit names the emoji it really is, so it must be one the mapping knows.
  const auto own = sources.byCode[family].find(*actual);
  if (own == sources.byCode[family].end()) {
    ADD_FAILURE() << kNames[family] << " best-fit " << hex4(*actual) << " is no mapped emoji";
    return "?";
  }
  return hex4(*actual) + "(best-fit:U+" + own->second->unicode + ")";
}

TEST(ExampleEmojiTable, MatchesUnicodesCarrierMapping) {
  const std::string sourcesText = readFile(kEmojiSources);
  ASSERT_FALSE(sourcesText.empty()) << kEmojiSources << " missing: run scripts/setup.sh";
  Sources sources;
  parseSources(sourcesText, sources);
  ASSERT_GT(sources.byCode[kIMode].size(), 200u);

  const std::string path = sourceDir() + "/examples/Emoji.setting";
  EmojiTable table;
  ASSERT_EQ(table.load(path), S_OK);

  // One map element a line, its comment behind it: "Unicode i-mode EZweb J-SKY".
  const std::string text = readFile(path);
  const std::regex lineForm("<map num=\"(\\d+)\"[^>]*/> <!-- (\\S+) (\\S+) (\\S+) (\\S+) -->");
  std::map<int32_t, int> iModeCodes;  // number to i-mode code
  std::set<int> seenCodes;
  std::size_t lines = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), lineForm), end; it != end; ++it, ++lines) {
    const std::smatch& m = *it;
    const int32_t number = std::stoi(m[1]);
    SCOPED_TRACE("num " + m[1].str());
    const std::string* comment = table.lookup(EmojiType::Comment, number);
    EXPECT_TRUE(comment != nullptr) << "no comment: the image would have an empty alt";

    std::optional<int> codes[kFamilies];
    for (int f = 0; f < kFamilies; ++f) codes[f] = handsetCode(table, Family(f), number);
    ASSERT_TRUE(codes[kIMode].has_value());
    EXPECT_TRUE(seenCodes.insert(*codes[kIMode]).second) << "i-mode code used twice";
    EXPECT_TRUE(iModeCodes.emplace(number, *codes[kIMode]).second) << "number used twice";

    const auto found = sources.byCode[kIMode].find(*codes[kIMode]);
    const Source* source = found == sources.byCode[kIMode].end() ? nullptr : found->second;
    EXPECT_EQ(m[2].str(), source ? "U+" + source->unicode : "-");
    EXPECT_EQ(m[3].str(), hex4(*codes[kIMode]));
    EXPECT_EQ(m[4].str(), expectedToken(sources, source, kEZweb, codes[kEZweb]));
    EXPECT_EQ(m[5].str(), expectedToken(sources, source, kJSky, codes[kJSky]));
  }
  std::size_t maps = 0;
  for (auto at = text.find("<map "); at != std::string::npos; at = text.find("<map ", at + 1))
    ++maps;
  EXPECT_EQ(lines, maps) << "a map element out of the one-line form";

  for (const auto& [code, source] : sources.byCode[kIMode])
    EXPECT_TRUE(seenCodes.count(code))
        << "i-mode " << hex4(code) << " (U+" << source->unicode << ") has no number";

  // 1 up: the basic codes F89F..F9B0 in code order; 1001 up: the rest of
  // F950..F9FC in code order.
  int32_t nextBasic = 1, nextExtended = 1001;
  int lastBasic = 0, lastExtended = 0;
  for (const auto& [number, code] : iModeCodes) {
    SCOPED_TRACE("num " + std::to_string(number) + " i-mode " + hex4(code));
    if (number < 1001) {
      EXPECT_EQ(number, nextBasic++);
      EXPECT_TRUE(code >= 0xF89F && code <= 0xF9B0 && code > lastBasic);
      lastBasic = code;
    } else {
      EXPECT_EQ(number, nextExtended++);
      EXPECT_TRUE(code >= 0xF950 && code <= 0xF9FC && code > lastExtended);
      lastExtended = code;
    }
  }
}

}  // namespace
}  // namespace vantomer::test
