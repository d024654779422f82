#pragma once
// Code page 932 (Shift_JIS with the NEC and IBM rows) written from a table.

#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace vantomer::codepage::detail {

inline bool isSjisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// UTF-8 to code page 932, appended to out; a character it lacks, or bytes
// that are no UTF-8, become "?".
[[nodiscard]] HRESULT shiftJisEncode(std::string_view utf8, std::string& out);

}  // namespace vantomer::codepage::detail
