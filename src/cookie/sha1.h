#pragma once
// SHA-1 in lowercase hexadecimal: how Redis names a script it has cached.

#include <string>
#include <string_view>

namespace vantomer {

std::string sha1Hex(std::string_view data);

}  // namespace vantomer
