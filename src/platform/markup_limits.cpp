#include "platform/markup_limits.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vantomer::dom {
namespace {

bool isNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The bytes that mean something inside a start tag.
constexpr auto kTagStop = [] {
  std::array<bool, 256> stop{};
  for (unsigned char c : std::string_view("<>/\"'=")) stop[c] = true;
  return stop;
}();

class Scan {
 public:
  Scan(std::string_view text, const MarkupLimits& limits) : text_(text), limits_(limits) {}

  std::optional<MarkupExcess> run() {
    while (pos_ < text_.size() && !excess_) {
      const std::size_t open = text_.find('<', pos_);
      const std::size_t end = open == std::string_view::npos ? text_.size() : open;
      if (end > pos_) {
        // A text node, and one node per entity reference in it.
        std::size_t references = 0;
        const char* last = text_.data() + end;
        for (const char* p = text_.data() + pos_;
             (p = static_cast<const char*>(std::memchr(p, '&', last - p))) != nullptr; ++p)
          ++references;
        countNodes(1 + references);
      }
      pos_ = end;
      if (pos_ < text_.size()) markup();
    }
    return excess_;
  }

 private:
  // The first a or b at or after from (find_first_of goes through a search
  // of the set for every byte).
  std::size_t findEither(std::size_t from, char a, char b) const {
    for (std::size_t i = from; i < text_.size(); ++i)
      if (text_[i] == a || text_[i] == b) return i;
    return std::string_view::npos;
  }

  bool startsWith(std::string_view prefix) const {
    return text_.substr(pos_, prefix.size()) == prefix;
  }

  // Moves past the first terminator at or after from, or to the end: the
  // parser takes an unterminated comment or section to the end too.
  void skipPast(std::size_t from, std::string_view terminator) {
    const std::size_t found = text_.find(terminator, from);
    pos_ = found == std::string_view::npos ? text_.size() : found + terminator.size();
  }

  // Told apart by the byte after the "<": start tags, the most, come first.
  void markup() {
    const char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
    if (isNameStart(next)) {
      startTag();
    } else if (startsWith("<!--")) {
      countNodes(1);
      skipPast(pos_ + 4, "-->");
    } else if (startsWith("<![CDATA[")) {
      countNodes(1);
      skipPast(pos_ + 9, "]]>");
    } else if (next == '?' && pos_ + 2 < text_.size() && isNameStart(text_[pos_ + 2])) {
      countNodes(1);
      skipPast(pos_ + 2, "?>");
    } else if (startsWith("<!DOCTYPE") && !seenElement_) {
      doctype();
    } else if (next == '/') {
      if (depth_ > 0) --depth_;
      const std::size_t end = findEither(pos_ + 2, '<', '>');
      pos_ = end == std::string_view::npos ? text_.size() : end + (text_[end] == '>');
    } else {
      ++pos_;
    }
  }

  // Attribute values end at their quote or at a "<", where the parser ends
  // them too and reads on from the "<"; so does the tag.
  void startTag() {
    seenElement_ = true;
    countNodes(1);
    std::size_t attributes = 0;
    ++pos_;
    while (pos_ < text_.size()) {
      // Names, blanks and the rest of the tag are skipped in one tight loop.
      while (pos_ < text_.size() && !kTagStop[static_cast<unsigned char>(text_[pos_])]) ++pos_;
      if (pos_ == text_.size()) break;
      const char c = text_[pos_];
      if (c == '<') return openElement();
      if (c == '>') {
        ++pos_;
        return openElement();
      }
      if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '>') {
        pos_ += 2;
        return;
      }
      if (c == '"' || c == '\'') {
        const std::size_t close = findEither(pos_ + 1, c, '<');
        if (close == std::string_view::npos) {
          pos_ = text_.size();
        } else {
          pos_ = text_[close] == '<' ? close : close + 1;
        }
        continue;
      }
      if (c == '=') {
        countNodes(1);
        if (limits_.attributes != 0 && ++attributes > limits_.attributes) {
          return fail("more than " + std::to_string(limits_.attributes) +
                      " attributes on one element");
        }
      }
      ++pos_;
    }
  }

  void openElement() {
    if (limits_.depth != 0 && ++depth_ > limits_.depth)
      fail("elements nested deeper than " + std::to_string(limits_.depth));
  }

  // The declaration up to its ">", brackets and quotes respected. Markup in
  // its literals is parsed where an entity is referenced, so the literals
  // are held to the attribute cap as well.
  void doctype() {
    std::size_t brackets = 0;
    pos_ += 9;
    while (pos_ < text_.size() && !excess_) {
      const char c = text_[pos_];
      if (c == '"' || c == '\'') {
        const std::size_t close = text_.find(c, pos_ + 1);
        const std::size_t end = close == std::string_view::npos ? text_.size() : close;
        literal(text_.substr(pos_ + 1, end - pos_ - 1));
        pos_ = end == text_.size() ? end : end + 1;
        continue;
      }
      if (c == '[') ++brackets;
      if (c == ']' && brackets > 0) --brackets;
      ++pos_;
      if (c == '>' && brackets == 0) return;
    }
  }

  void literal(std::string_view value) {
    std::size_t equals = 0;
    for (char c : value) {
      if (c == '<') equals = 0;
      if (c == '=' && limits_.attributes != 0 && ++equals > limits_.attributes)
        return fail("more than " + std::to_string(limits_.attributes) +
                    " attributes on one element");
    }
  }

  void countNodes(std::size_t n) {
    nodes_ += n;
    if (limits_.nodes != 0 && nodes_ > limits_.nodes)
      fail("more than " + std::to_string(limits_.nodes) + " nodes");
  }

  void fail(std::string reason) {
    if (excess_) return;
    const std::size_t at = std::min(pos_, text_.size());
    const auto lines =
        std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    excess_ = MarkupExcess{"The document has " + std::move(reason) + ".",
                           static_cast<int>(std::min<std::ptrdiff_t>(lines + 1, INT32_MAX))};
  }

  std::string_view text_;
  const MarkupLimits& limits_;
  std::size_t pos_ = 0;
  std::size_t depth_ = 0;
  std::size_t nodes_ = 0;
  bool seenElement_ = false;
  std::optional<MarkupExcess> excess_;
};

}  // namespace

std::optional<MarkupExcess> checkMarkupLimits(std::string_view text, const MarkupLimits& limits) {
  if (!limits.any()) return std::nullopt;
  return Scan(text, limits).run();
}

}  // namespace vantomer::dom
