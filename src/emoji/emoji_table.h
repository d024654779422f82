#pragma once
// The emoji table: for each family, emoji number to text (UTF-8).

#include <cstdint>
#include <map>
#include <string>

#include "config/settings.h"
#include "platform/hresult.h"

namespace vantomer {

class EmojiTable {
 public:
  // Negative is failure; a missing or malformed file leaves the table empty
  // and succeeds.
  [[nodiscard]] HRESULT load(const std::string& path);
  // The non-empty text for the number in the family of emojiType (Comment to
  // JSky), or null.
  const std::string* lookup(EmojiType emojiType, int32_t number) const;
  void clear();

 private:
  // comment, i-mode, EZweb, J-SKY
  std::map<int32_t, std::string> maps_[4];
};

}  // namespace vantomer
