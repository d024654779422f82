#pragma once
// The ISO-2022-JP family (code pages 50220, 50221, 50222): the CP932
// repertoire in JIS form, by way of code page 932 in both directions.

#include <string>
#include <string_view>

#include "platform/codepage_registry.h"
#include "platform/hresult.h"

namespace vantomer::codepage::detail {

// UTF-8 to JIS, appended to out; half-width katakana travel as cp.kana says.
[[nodiscard]] HRESULT jisEncode(const CodePage& cp, std::string_view utf8, std::string& out);
// Any of the three forms to UTF-8, appended to utf8; invalid bytes become
// U+FFFD.
[[nodiscard]] HRESULT jisDecode(std::string_view bytes, std::string& utf8);

}  // namespace vantomer::codepage::detail
