// The emoji table loader over arbitrary file contents.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "emoji/emoji_table.h"
#include "platform/dom.h"
#include "support/temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vantomer::fuzz::TempFile file("Emoji.setting");
  static const bool initialised = (vantomer::dom::initialize(), true);
  (void)initialised;

  vantomer::EmojiTable table;
  // Loaded or refused, the table must answer lookups soundly.
  (void)table.load(file.write(data, size));

  // Numbers not above 0 are never stored, and stored texts are never empty
  // once looked up.
  using vantomer::EmojiType;
  for (EmojiType type : {EmojiType::Image, EmojiType::Comment, EmojiType::IMode, EmojiType::EZweb,
                         EmojiType::JSky}) {
    for (int32_t number : {-1, 0, 1, 2, 7, 12, 100, 2147483647}) {
      const std::string* text = table.lookup(type, number);
      if (text && (number <= 0 || type == EmojiType::Image || text->empty())) std::abort();
    }
  }
  return 0;
}
