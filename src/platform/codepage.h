#pragma once
// Code page conversion keyed by Windows code page numbers, on glibc iconv.
// Text inside the module is UTF-8; bytes meet characters only here.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace vantomer::codepage {

// The host's ANSI code page: 932, or VANTOMER_ANSI_CODEPAGE read once at load.
int ansiCodePage();

// Code page 0 stands for the ANSI code page.
int resolve(int codePage);

// Whether a converter exists for the number.
bool isKnown(int codePage);

// UTF-8 text to bytes of the code page. A character the code page lacks
// becomes "?". An unknown number gives E_INVALIDARG and leaves out untouched.
[[nodiscard]] HRESULT encode(int codePage, std::string_view utf8, std::string& out);

// Bytes of the code page to UTF-8. Invalid bytes become U+FFFD; never fails
// for a known number. An unknown number gives E_INVALIDARG.
[[nodiscard]] HRESULT decode(int codePage, std::string_view bytes, std::string& utf8);

// As encode and decode, appending to out, which must not hold the input; on
// failure out keeps what it had.
[[nodiscard]] HRESULT encodeAppend(int codePage, std::string_view utf8, std::string& out);
[[nodiscard]] HRESULT decodeAppend(int codePage, std::string_view bytes, std::string& utf8);

// Number of UTF-16 units the UTF-8 text takes (invalid bytes count one each).
std::size_t utf16Length(std::string_view utf8);

}  // namespace vantomer::codepage
