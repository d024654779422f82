#include "support/paths.h"

namespace vantomer::test {

std::string modulePath() { return VANTOMER_MODULE_PATH; }
std::string hostPath() {
#ifdef VANTOMER_HOST_PATH
  return VANTOMER_HOST_PATH;
#else
  return std::string(VANTOMER_BINARY_DIR) + "/vantomer";
#endif
}
std::string sourceDir() { return VANTOMER_SOURCE_DIR; }

}  // namespace vantomer::test
