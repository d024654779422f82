#pragma once
// What the preview knows of a page besides what the handset receives: the
// settings and emoji table beside the module, read with the filter's own
// loaders, and the page converted once more in Unicode, to tell what the
// profile's code page loses, which emoji fall back to images and where the
// parser stopped.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantomer::host {

struct ProfileChoice {
  bool found = false;
  std::size_t index = 0;  // 1-based, in file order
  std::size_t count = 0;
  std::string pattern;
  std::string family;  // "i-mode", "EZweb", "J-SKY", "Comment", "Image"
  int emojiType = 0;   // as in the settings: 2 to 4 are the handset families
  int codePage = 65001;
  std::string charset;
  std::string contentType;
  // Patterns before the chosen one that do not compile.
  std::vector<std::size_t> brokenBefore;
};

struct PreviewWarning {
  std::string kind;  // loss, size, parse, emoji, filter
  std::string text;
};

class PreviewSettings {
 public:
  // Reads Vantomer.setting and Emoji.setting from the directory; null with a
  // message when the settings do not load (the filter would not load either).
  static std::unique_ptr<PreviewSettings> load(const std::string& directory, std::string& error);
  ~PreviewSettings();

  ProfileChoice choose(const std::string& userAgent) const;
  const std::string& markLeft() const { return markLeft_; }
  const std::string& markRight() const { return markRight_; }
  const std::string& inputContentType() const;
  // The emoji number whose text of the handset family (emojiType 2 to 4) is
  // this text, or 0.
  int emojiNumber(int emojiType, std::string_view text) const;
  // The comment text of a number, or empty.
  std::string emojiComment(int number) const;
  // Every profile's EmojiImgSrc that holds %num%.
  std::vector<std::string> imageTemplates() const;

  // Whether the application's response (raw bytes) is one the filter
  // converts.
  bool convertible(std::string_view raw) const;
  // The application's whole response (raw bytes, in its own framing) as the
  // profile would convert it: warnings about the conversion itself.
  std::vector<PreviewWarning> examine(const ProfileChoice& choice, std::string_view raw) const;

  // Bytes of a code page as UTF-8 (invalid bytes as U+FFFD); false for a
  // code page without a converter.
  static bool decode(int codePage, std::string_view bytes, std::string& utf8);
  // The code page of a charset name, 0 when there is none.
  static int codePageOf(std::string_view charset);

 private:
  struct Records;
  PreviewSettings();
  std::unique_ptr<Records> records_;
  std::string markLeft_;
  std::string markRight_;
  std::map<std::string, int> reverse_[3];  // i-mode, EZweb, J-SKY: text to number
};

}  // namespace vantomer::host
