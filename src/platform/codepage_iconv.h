#pragma once
// Conversion through glibc's iconv, one cached converter per code page and
// direction on each thread.

#include <iconv.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/codepage_registry.h"
#include "platform/hresult.h"

namespace vantomer::codepage::detail {

struct CloseIconv {
  void operator()(iconv_t cd) const noexcept { iconv_close(cd); }
};
// Null, never (iconv_t)-1, when there is no converter.
using IconvPtr = std::unique_ptr<void, CloseIconv>;

// iconv_open into an owner; errno tells why when it is null.
IconvPtr openIconv(const char* to, const char* from);

// Whether iconv converts the code page both ways.
bool iconvAvailable(const CodePage& cp);

// UTF-8 to the code page, appended to out; a character it lacks becomes "?"
// (U+FFFD in a Unicode code page, for bytes that are no UTF-8).
[[nodiscard]] HRESULT iconvEncode(const CodePage& cp, std::string_view utf8, std::string& out);
// The code page to UTF-8, appended to utf8; invalid bytes become U+FFFD.
[[nodiscard]] HRESULT iconvDecode(const CodePage& cp, std::string_view bytes, std::string& utf8);

}  // namespace vantomer::codepage::detail
