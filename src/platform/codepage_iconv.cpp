#include "platform/codepage_iconv.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/codepage_utf8.h"

namespace vantomer::codepage::detail {
namespace {

// Converters opened on this thread, kept for reuse: opening one costs far
// more than a page's conversion.
class DescriptorCache {
 public:
  // A converter in its initial state, or null (errno set when it failed
  // just now).
  iconv_t get(const CodePage& cp, bool encode) {
    for (const Entry& e : entries_) {
      if (e.number == cp.number && e.encode == encode) {
        if (e.cd != nullptr)
          iconv(e.cd.get(), nullptr, nullptr, nullptr, nullptr);
        else
          errno = EINVAL;
        return e.cd.get();
      }
    }
    IconvPtr cd = encode ? openIconv(cp.name, "UTF-8") : openIconv("UTF-8", cp.name);
    const int openError = errno;
    iconv_t handle = cd.get();
    // Remember a missing converter too, but not a passing shortage of memory.
    // A converter that finds no room in the list is closed, not lost.
    if (cd != nullptr || openError == EINVAL)
      entries_.push_back({cp.number, encode, std::move(cd)});
    errno = openError;
    return handle;
  }

 private:
  struct Entry {
    int number;
    bool encode;
    IconvPtr cd;  // null: iconv has no such converter
  };
  std::vector<Entry> entries_;
};

DescriptorCache& descriptors() {
  thread_local DescriptorCache cache;
  return cache;
}

[[nodiscard]] HRESULT openError() { return errno == ENOMEM ? E_OUTOFMEMORY : E_INVALIDARG; }

// Writes through cd into out from position used, growing out as needed.
// Returns 0, or the errno that stopped the conversion (EILSEQ or EINVAL).
// A null in flushes the shift state.
int pump(iconv_t cd, char** in, std::size_t* inLeft, std::string& out, std::size_t& used) {
  for (;;) {
    if (out.size() - used < 16) out.resize(out.size() * 2 + 64);
    char* dst = out.data() + used;
    std::size_t dstLeft = out.size() - used;
    const std::size_t rc = iconv(cd, in, inLeft, &dst, &dstLeft);
    const int error = errno;
    used = static_cast<std::size_t>(dst - out.data());
    if (rc != static_cast<std::size_t>(-1)) return 0;
    if (error == E2BIG) {
      out.resize(out.size() * 2 + 64);
      continue;
    }
    return error == EILSEQ || error == EINVAL ? error : EILSEQ;
  }
}

void pumpText(iconv_t cd, std::string_view text, std::string& out, std::size_t& used) {
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  pump(cd, &in, &inLeft, out, used);
}

// glibc converts UTF-8 to most code pages in two steps and, when the second
// step meets a character it lacks, reconverts the input from the start of
// the call to find where it stopped. Feeding the input in slices bounds that
// work, which would otherwise grow with the square of the text's length.
constexpr std::size_t kEncodeSlice = 1024;

// Stateless code pages that write every ASCII character as its own byte.
bool asciiCompatible(int number) {
  switch (number) {
    case 1200:
    case 1201:
    case 12000:
    case 12001:
      return false;
    default:
      return true;  // the JIS family never comes here
  }
}

}  // namespace

IconvPtr openIconv(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  return IconvPtr(cd != reinterpret_cast<iconv_t>(-1) ? cd : nullptr);
}

bool iconvAvailable(const CodePage& cp) {
  try {
    return descriptors().get(cp, true) != nullptr && descriptors().get(cp, false) != nullptr;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

HRESULT iconvEncode(const CodePage& cp, std::string_view utf8, std::string& out) {
  iconv_t cd = descriptors().get(cp, true);
  if (cd == nullptr) return openError();
  std::size_t used = out.size();
  out.resize(used + utf8.size() * static_cast<std::size_t>(cp.unit) + 64);
  std::size_t pos = 0;
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  while (pos < utf8.size()) {
    std::size_t end = utf8.size();
    if (asciiCompatible(cp.number)) {
      // Markup is mostly ASCII, which these code pages write unchanged:
      // copy it and give iconv only the runs around other characters.
      const std::size_t ascii =
          skipAscii(reinterpret_cast<const unsigned char*>(utf8.data()), pos, utf8.size());
      if (ascii > pos) {
        if (out.size() - used < ascii - pos) out.resize(used + (ascii - pos) + 64);
        std::memcpy(out.data() + used, utf8.data() + pos, ascii - pos);
        used += ascii - pos;
        pos = ascii;
        continue;
      }
      // The other characters run up to the next stretch of ASCII worth
      // copying on its own.
      constexpr std::size_t kWorthCopying = 16;
      const std::size_t limit = std::min(utf8.size(), pos + kEncodeSlice);
      std::size_t run = 0;
      for (end = pos; end < limit; ++end) {
        run = byteAt(end) < 0x80 ? run + 1 : 0;
        if (run == kWorthCopying) {
          end -= kWorthCopying - 1;
          break;
        }
      }
    } else if (end - pos > kEncodeSlice) {
      end = pos + kEncodeSlice;
    }
    // End the slice on a character boundary.
    if (end < utf8.size())
      for (int back = 0; back < 3 && end > pos + 1 && (byteAt(end) & 0xC0) == 0x80; ++back) --end;
    char* in = const_cast<char*>(utf8.data() + pos);
    std::size_t inLeft = end - pos;
    while (inLeft > 0) {
      if (pump(cd, &in, &inLeft, out, used) == 0) break;
      // A character the code page lacks, or bytes that are no UTF-8.
      std::size_t bad = 0;
      std::size_t skip = scanUtf8(reinterpret_cast<const unsigned char*>(in), inLeft, bad);
      const bool invalidInput = skip == 0;
      if (invalidInput) skip = bad;
      in += skip;
      inLeft -= skip;
      pumpText(cd, invalidInput && cp.unicode ? kReplacementUtf8 : "?", out, used);
    }
    pos = end;
  }
  pump(cd, nullptr, nullptr, out, used);
  out.resize(used);
  return S_OK;
}

HRESULT iconvDecode(const CodePage& cp, std::string_view bytes, std::string& utf8) {
  iconv_t cd = descriptors().get(cp, false);
  if (cd == nullptr) return openError();
  std::size_t used = utf8.size();
  utf8.resize(used + bytes.size() + bytes.size() / 2 + 64);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    const int error = pump(cd, &in, &inLeft, utf8, used);
    if (error == 0) break;
    // The output is UTF-8, which has no shift state: write U+FFFD directly.
    if (utf8.size() - used < 3) utf8.resize(utf8.size() * 2 + 64);
    utf8.replace(used, 3, kReplacementUtf8, 3);
    used += 3;
    const std::size_t skip = error == EINVAL ? inLeft : static_cast<std::size_t>(cp.unit);
    const std::size_t n = skip < inLeft ? skip : inLeft;
    in += n;
    inLeft -= n;
  }
  utf8.resize(used);
  return S_OK;
}

}  // namespace vantomer::codepage::detail
