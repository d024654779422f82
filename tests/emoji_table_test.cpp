#include "emoji/emoji_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/telmark.h"

namespace vantomer {
namespace {

HRESULT loadTable(EmojiTable& table, const std::string& maps) {
  test::ScratchDir dir;
  return table.load(dir.write(
      "Emoji.setting", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Emoji>" + maps + "</Emoji>"));
}

std::optional<std::string> find(const EmojiTable& table, EmojiType type, int32_t number) {
  const std::string* text = table.lookup(type, number);
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

TEST(EmojiTable, EmojiNumbers) {
  const struct {
    const char* num;
    int32_t number;  // 0: skipped
  } cases[] = {{"1", 1}, {"007", 7}, {"12abc", 12}, {" 42", 42}, {"+5", 5},
               {"0", 0}, {"-3", 0},  {"abc", 0},    {"", 0},     {"99999999999", INT32_MAX}};
  for (const auto& c : cases) {
    EmojiTable table;
    ASSERT_GE(loadTable(table, std::string("<map num=\"") + c.num + "\" i-mode=\"x\"/>"), 0);
    for (int32_t n : {0, 1, 5, 7, 12, 42, -3, INT32_MAX}) {
      const bool expected = c.number != 0 && n == c.number;
      EXPECT_EQ(find(table, EmojiType::IMode, n).has_value(), expected) << c.num << " / " << n;
    }
  }
  EmojiTable table;
  ASSERT_GE(loadTable(table, "<map i-mode=\"no number\"/><map num=\"2\" i-mode=\"two\"/>"), 0);
  EXPECT_EQ(find(table, EmojiType::IMode, 2), "two");
}

TEST(EmojiTable, FamiliesAndFirstElementWins) {
  EmojiTable table;
  ASSERT_GE(loadTable(table,
                      "<map num=\"5\" i-mode=\"&#xE63E;\"/>"
                      "<map num=\"5\" i-mode=\"later\" EZweb=\"ez5\"/>"
                      "<map num=\"6\" comment=\"\" J-SKY=\"j&amp;6\"/>"
                      "<map num=\"6\" comment=\"sun\" EZweb=\"\"/>"
                      "<map num=\"6\" EZweb=\"ez6\"/>"
                      "<map num=\"7\" I-MODE=\"wrong case\" Comment=\"wrong case\"/>"
                      "<group><map num=\"8\" comment=\"nested\"/></group>"
                      "<Map num=\"9\" comment=\"wrong name\"/>"),
            0);
  const struct {
    EmojiType type;
    int32_t number;
    std::optional<std::string> text;
  } cases[] = {
      {EmojiType::IMode, 5, "\xEE\x98\xBE"},
      {EmojiType::EZweb, 5, "ez5"},
      {EmojiType::Comment, 5, std::nullopt},
      {EmojiType::JSky, 5, std::nullopt},
      {EmojiType::Image, 5, std::nullopt},
      {EmojiType::Comment, 6, std::nullopt},  // empty, and never replaced
      {EmojiType::EZweb, 6, std::nullopt},
      {EmojiType::JSky, 6, "j&6"},
      {EmojiType::IMode, 7, std::nullopt},
      {EmojiType::Comment, 7, std::nullopt},
      {EmojiType::Comment, 8, std::nullopt},
      {EmojiType::Comment, 9, std::nullopt},
      {static_cast<EmojiType>(5), 5, std::nullopt},
      {static_cast<EmojiType>(-1), 5, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find(table, c.type, c.number), c.text)
        << static_cast<int>(c.type) << " / " << c.number;
  }
  table.clear();
  EXPECT_EQ(find(table, EmojiType::IMode, 5), std::nullopt);
}

TEST(EmojiTable, MissingOrMalformedFileIsAnEmptyTable) {
  test::ScratchDir dir;
  EmojiTable table;
  EXPECT_EQ(table.load(dir.path() + "/Emoji.setting"), S_FALSE);
  EXPECT_EQ(find(table, EmojiType::Comment, 1), std::nullopt);
  EXPECT_EQ(table.load(dir.write("Emoji.setting", "<Emoji><map num=\"1\" comment=\"x\">")),
            S_FALSE);
  EXPECT_EQ(find(table, EmojiType::Comment, 1), std::nullopt);
}

}  // namespace
}  // namespace vantomer
