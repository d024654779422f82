#pragma once
// The charset a TELMARK page is written in, for a label where none is
// configured: the encoding of its XML declaration; else UTF-8 when the bytes
// are valid UTF-8; else Shift_JIS, the handsets' own.

#include <string>
#include <string_view>

namespace vantomer::host {

// Fed the page in order, a block at a time; done() once more bytes would
// not change the answer.
class PageCharset {
 public:
  void feed(std::string_view bytes);
  bool done() const { return !declared_.empty() || !utf8_; }
  // Call after the last block; whole is false when only the start of the
  // page was fed (a sequence cut at the end then counts as valid).
  std::string charset(bool whole = true) const;

 private:
  void scanUtf8(std::string_view bytes);

  std::string head_;  // the first bytes, until the declaration is settled
  bool headSettled_ = false;
  std::string declared_;
  bool utf8_ = true;
  std::string carry_;  // an incomplete UTF-8 sequence at the end of a block
};

std::string pageCharset(std::string_view page);

// "sjis", "windows-31j" -> "Shift_JIS"; "utf8" -> "UTF-8"; others as given:
// the filter reads exactly these two names.
std::string canonicalCharset(std::string_view name);

}  // namespace vantomer::host
