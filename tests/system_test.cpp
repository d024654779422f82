#include "platform/system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vantomer::sys {
namespace {

using namespace std::chrono_literals;

TEST(System, MessageTexts) {
  const struct {
    HRESULT code;
    const char* text;
  } cases[] = {
      {E_FAIL, "Unspecified error\r\n"},
      {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation.\r\n"},
      {E_INVALIDARG, "The parameter is incorrect.\r\n"},
      {E_NOTIMPL, "Not implemented\r\n"},
      {E_POINTER, "Invalid pointer\r\n"},
      {E_ABORT, "Operation aborted\r\n"},
      {E_UNEXPECTED, "Catastrophic failure\r\n"},
      {S_OK, ""},
      {static_cast<HRESULT>(0x80001234u), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(messageText(c.code), c.text) << std::hex << c.code;
}

TEST(System, TickCountFollowsTheClock) {
  const uint32_t before = tickCount();
  std::this_thread::sleep_for(20ms);
  const uint32_t elapsed = tickCount() - before;  // modulo 2^32, as the stock measures
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(System, ModuleDirectoryHoldsThisProgram) {
  const std::string dir = moduleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_NE(dir.back(), '/');
}

TEST(System, PathCombine) {
  const struct {
    const char* dir;
    const char* name;
    const char* path;
  } cases[] = {
      {"/srv/filter", "Vantomer.setting", "/srv/filter/Vantomer.setting"},
      {"/srv/filter/", "Emoji.setting", "/srv/filter/Emoji.setting"},
      {"/", "x", "/x"},
      {"", "x", "x"},
      {"/srv", "/abs/x", "/abs/x"},
  };
  for (const auto& c : cases) EXPECT_EQ(pathCombine(c.dir, c.name), c.path);
}

TEST(PeriodicTimer, FiresUntilStoppedAndStopsPromptly) {
  for (uint32_t period : {5u, 60000u}) {
    PeriodicTimer timer;
    std::atomic<int> calls{0};
    ASSERT_TRUE(timer.start(period, [&] { ++calls; }));
    EXPECT_FALSE(timer.start(period, [] {}));  // one at a time
    if (period < 100) {
      const auto deadline = std::chrono::steady_clock::now() + 2s;
      while (calls < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
      EXPECT_GE(calls.load(), 3);
    }
    const auto stopAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(timer.stop());
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 500ms) << period;
    const int afterStop = calls.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calls.load(), afterStop);
    EXPECT_FALSE(timer.running());
    EXPECT_FALSE(timer.stop());
  }
}

TEST(PeriodicTimer, StopWaitsForTheConcurrentProcedureAndTimerRestarts) {
  PeriodicTimer timer;
  std::atomic<int> calls{0};
  std::atomic<bool> inside{false};
  ASSERT_TRUE(timer.start(1, [&] {
    inside = true;
    ++calls;
    std::this_thread::sleep_for(30ms);
    inside = false;
    throw std::runtime_error("must not end the process");
  }));
  while (calls < 2) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(timer.stop());  // most likely while the second call sleeps
  EXPECT_FALSE(inside.load());

  calls = 0;
  ASSERT_TRUE(timer.start(2, [&] { ++calls; }));
  while (calls < 1) std::this_thread::sleep_for(1ms);
  // The destructor stops it.
}

}  // namespace
}  // namespace vantomer::sys
