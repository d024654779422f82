#include "apps/page_charset.h"

#include <algorithm>
#include <cctype>

namespace vantomer::host {
namespace {

// A declaration longer than this is no declaration a page author writes.
constexpr std::size_t kHeadBytes = 1024;

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The encoding pseudo-attribute of an XML declaration at the start of head
// (after a byte order mark); empty without one.
std::string declaredEncoding(std::string_view head) {
  if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
  if (head.substr(0, 5) != "<?xml" || head.size() < 6 || !isSpace(head[5])) return "";
  const std::size_t end = head.find("?>");
  if (end == std::string_view::npos) return "";
  const std::string_view decl = head.substr(0, end);
  std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos || !isSpace(decl[at - 1])) return "";
  at += 8;
  while (at < decl.size() && isSpace(decl[at])) ++at;
  if (at >= decl.size() || decl[at] != '=') return "";
  ++at;
  while (at < decl.size() && isSpace(decl[at])) ++at;
  if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\'')) return "";
  const char quote = decl[at++];
  const std::size_t close = decl.find(quote, at);
  if (close == std::string_view::npos || close == at) return "";
  const std::string_view name = decl.substr(at, close - at);
  // An encoding name by the XML grammar, so it is safe in a header.
  if (!std::isalpha(static_cast<unsigned char>(name[0]))) return "";
  for (const char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') return "";
  return canonicalCharset(name);
}

// Bytes in the sequence a lead byte starts, 0 for a byte that starts none.
std::size_t sequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

// Whether continuation byte number i (1-based) fits after lead b: no
// overlong forms, no surrogates, nothing above U+10FFFF.
bool continues(unsigned char b, std::size_t i, unsigned char c) {
  unsigned char lo = 0x80, hi = 0xBF;
  if (i == 1) {
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  }
  return c >= lo && c <= hi;
}

enum class Scan { Complete, Incomplete, Invalid };

// The UTF-8 sequence at p, of the n bytes there are.
Scan scan(const unsigned char* p, std::size_t n, std::size_t& length) {
  length = sequenceLength(p[0]);
  if (length == 0) return Scan::Invalid;
  for (std::size_t j = 1; j < length; ++j) {
    if (j >= n) return Scan::Incomplete;
    if (!continues(p[0], j, p[j])) return Scan::Invalid;
  }
  return Scan::Complete;
}

}  // namespace

std::string canonicalCharset(std::string_view name) {
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), lower);
  if (folded == "utf-8" || folded == "utf8") return "UTF-8";
  for (const char* alias : {"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis",
                            "windows-31j", "cp932", "ms932"})
    if (folded == alias) return "Shift_JIS";
  return std::string(name);
}

void PageCharset::feed(std::string_view bytes) {
  if (!headSettled_) {
    const std::size_t take = std::min(bytes.size(), kHeadBytes - head_.size());
    head_.append(bytes.substr(0, take));
    if (head_.size() == kHeadBytes || head_.find("?>") != std::string::npos ||
        head_.find('\n') != std::string::npos) {
      declared_ = declaredEncoding(head_);
      headSettled_ = true;
    }
  }
  if (declared_.empty() && utf8_) scanUtf8(bytes);
}

void PageCharset::scanUtf8(std::string_view bytes) {
  // First the sequence cut at the end of the last block.
  while (!carry_.empty()) {
    if (bytes.empty()) return;
    carry_ += bytes.front();
    bytes.remove_prefix(1);
    std::size_t length = 0;
    const Scan s =
        scan(reinterpret_cast<const unsigned char*>(carry_.data()), carry_.size(), length);
    if (s == Scan::Invalid) {
      utf8_ = false;
      return;
    }
    if (s == Scan::Complete) carry_.clear();
  }
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    const Scan s = scan(p + i, bytes.size() - i, length);
    if (s == Scan::Invalid) {
      utf8_ = false;
      return;
    }
    if (s == Scan::Incomplete) {
      carry_.assign(bytes.substr(i));
      return;
    }
    i += length;
  }
}

std::string PageCharset::charset(bool whole) const {
  if (!declared_.empty()) return declared_;
  const std::string declared = headSettled_ ? "" : declaredEncoding(head_);
  if (!declared.empty()) return declared;
  return utf8_ && (carry_.empty() || !whole) ? "UTF-8" : "Shift_JIS";
}

std::string pageCharset(std::string_view page) {
  PageCharset sniff;
  sniff.feed(page);
  return sniff.charset();
}

}  // namespace vantomer::host
