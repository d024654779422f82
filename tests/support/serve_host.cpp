#include "support/serve_host.h"

#include <gtest/gtest.h>

namespace vantomer::test {

const std::string kSmallSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<Vantomer>
  <NewOutputCoordinator>
    <UAPattern>DoCoMo.*</UAPattern>
    <EmojiType>i-mode</EmojiType>
    <EmojiImgSrc>/e/%num%.gif</EmojiImgSrc>
    <CodePage>932</CodePage>
    <Charset>Shift_JIS</Charset>
    <ContentType>application/xhtml+xml</ContentType>
  </NewOutputCoordinator>
  <NewOutputCoordinator>
    <UAPattern>.*</UAPattern>
    <EmojiType>Image</EmojiType>
    <EmojiImgSrc>/e/%num%.gif</EmojiImgSrc>
    <CookieImitation>off</CookieImitation>
  </NewOutputCoordinator>
</Vantomer>
)";
const std::string kSmallEmoji = R"(<emoji><map num="1" i-mode="晴"/></emoji>)";

ServeHost::ServeHost(const std::string& module, const std::string& settings,
                     const std::string& emoji)
    : port(freePort()) {
  moduleCopy = dir.copy(module, "module/vantomer.so");
  dir.write("module/Vantomer.setting", settings);
  dir.write("module/Emoji.setting", emoji);
}

void ServeHost::start(std::vector<std::string> args,
                      const std::map<std::string, std::string>& env) {
  args.insert(args.begin(), {"serve", "--module", moduleCopy, "--listen",
                             "127.0.0.1:" + std::to_string(port), "--threads", "2"});
  process = std::make_unique<ChildProcess>(hostPath(), args, dir.path(), env);
  ASSERT_TRUE(process->waitForPort(port)) << process->err();
}

}  // namespace vantomer::test
