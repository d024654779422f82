#pragma once
// Caps on the size of a document's tree, checked on its text in one linear
// pass before the parser sees it: the parser's work grows with the nodes and
// the depth, and with the attributes of one element quadratically (its
// duplicate check), so a page over a cap must never reach it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantomer::dom {

// 0 leaves a count unbounded.
struct MarkupLimits {
  std::size_t attributes = 0;  // of one element
  std::size_t depth = 0;       // elements open at once
  std::size_t nodes = 0;       // elements, attributes, texts, references, comments
  bool any() const { return attributes != 0 || depth != 0 || nodes != 0; }
};

struct MarkupExcess {
  std::string reason;
  int line = 0;
};

// The first cap the text passes, with the line where it does; nothing when
// it stays within them. Counts err upwards where the text is malformed:
// every "<" that the parser could take for a tag is taken for one.
std::optional<MarkupExcess> checkMarkupLimits(std::string_view text, const MarkupLimits& limits);

}  // namespace vantomer::dom
