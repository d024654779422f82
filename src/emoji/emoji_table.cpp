#include "emoji/emoji_table.h"

#include <new>
#include <vector>

#include "platform/dom.h"
#include "platform/text.h"

namespace vantomer {
namespace {

// Attribute names of the four families, in the order of the maps.
constexpr const char* kFamilies[4] = {"comment", "i-mode", "EZweb", "J-SKY"};

}  // namespace

HRESULT EmojiTable::load(const std::string& path) {
  try {
    dom::initialize();
    dom::Document document;
    HRESULT r = document.load(path);
    if (r != S_OK) return failed(r) ? r : S_FALSE;
    dom::Node root;
    r = document.documentElement(root);
    if (failed(r) || root.isNull()) return failed(r) ? r : S_FALSE;
    std::vector<dom::Node> maps;
    r = root.selectNodes("map", maps);
    if (failed(r)) return r;

    r = S_OK;
    for (std::size_t i = 0; i < maps.size() && succeeded(r); ++i) {
      const dom::Node& element = maps[i];
      std::string value;
      r = element.getAttribute("num", value);
      if (failed(r)) break;
      const int32_t number = r == S_OK ? text::parseDecimal32(value) : 0;
      if (number <= 0) continue;
      for (int family = 0; family < 4 && succeeded(r); ++family) {
        r = element.getAttribute(kFamilies[family], value);
        // The first element that gives a family a text for a number decides
        // it, an empty text included.
        if (r == S_OK) maps_[family].try_emplace(number, value);
      }
    }
    return r;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

const std::string* EmojiTable::lookup(EmojiType emojiType, int32_t number) const {
  const int type = static_cast<int>(emojiType);
  if (type < static_cast<int>(EmojiType::Comment) || type > static_cast<int>(EmojiType::JSky))
    return nullptr;
  const auto& map = maps_[type - static_cast<int>(EmojiType::Comment)];
  const auto it = map.find(number);
  if (it == map.end() || it->second.empty()) return nullptr;
  return &it->second;
}

void EmojiTable::clear() {
  for (auto& map : maps_) map.clear();
}

}  // namespace vantomer
