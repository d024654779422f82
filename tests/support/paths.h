#pragma once
// Where the build put the module and the host, and the source tree.

#include <string>

namespace vantomer::test {

std::string modulePath();
std::string hostPath();
std::string sourceDir();

}  // namespace vantomer::test
