#pragma once
// `vantomer serve` as the tools' and the server's own tests run it: a child
// process with its own copy of a module, small settings that convert for
// i-mode and pass the rest, and an emoji table of one entry.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/host_process.h"
#include "support/paths.h"

namespace vantomer::test {

// One i-mode profile (Shift_JIS) and one for everything else.
extern const std::string kSmallSettings;
// Emoji 1, the sun, and its i-mode text.
extern const std::string kSmallEmoji;

class ServeHost {
 public:
  explicit ServeHost(const std::string& module = modulePath(),
                     const std::string& settings = kSmallSettings,
                     const std::string& emoji = kSmallEmoji);
  // Starts `vantomer serve` with args after its module and listener.
  void start(std::vector<std::string> args, const std::map<std::string, std::string>& env = {});

  ServerDir dir;
  std::string moduleCopy;
  unsigned port;
  std::unique_ptr<ChildProcess> process;
};

}  // namespace vantomer::test
