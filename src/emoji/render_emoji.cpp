#include "emoji/render_emoji.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "emoji/emoji_table.h"
#include "platform/text.h"

namespace vantomer {
namespace {

constexpr std::string_view kNumMark = "%num%";

// The img element for the number, from the profile's address template; alt
// is required in XHTML, so it is given even when empty.
HRESULT renderImage(const OutputCoordinator& profile, dom::Document& document, int32_t number,
                    std::string_view alt, dom::Node& replacement) {
  std::string digits = std::to_string(number);
  // Zeros go in front of the whole text, sign included: -5 gives 0-5.
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');

  const std::size_t mark = profile.emojiImgSrc.find(kNumMark);
  if (mark == std::string::npos) return E_FAIL;
  std::string src;
  src.reserve(profile.emojiImgSrc.size() + digits.size());
  src.append(profile.emojiImgSrc, 0, mark);
  src += digits;
  src.append(profile.emojiImgSrc, mark + kNumMark.size(), std::string::npos);

  dom::Node img;
  HRESULT hr = document.createElement("img", img);
  if (failed(hr)) return hr;
  hr = img.setAttribute("src", src);
  if (failed(hr)) return hr;
  hr = img.setAttribute("alt", alt);
  if (failed(hr)) return hr;
  replacement = img;
  return S_OK;
}

}  // namespace

HRESULT renderEmoji(const OutputCoordinator& profile, const EmojiTable& table,
                    dom::Document& document, dom::Node element, dom::Node& replacement) {
  replacement = dom::Node();
  std::string num;
  const HRESULT hr = element.getAttribute("num", num);
  if (hr != S_OK) return hr;  // absent: left as it is
  const int32_t number = text::parseDecimal32(num);

  switch (profile.emojiType) {
    case EmojiType::Comment:
    case EmojiType::IMode:
    case EmojiType::EZweb:
    case EmojiType::JSky:
      if (const std::string* found = table.lookup(profile.emojiType, number)) {
        return document.createTextNode(*found, replacement);
      }
      break;  // the family lacks it: the image stands in
    default:
      break;
  }
  const std::string* comment = table.lookup(EmojiType::Comment, number);
  return renderImage(profile, document, number, comment ? *comment : std::string_view(),
                     replacement);
}

}  // namespace vantomer
