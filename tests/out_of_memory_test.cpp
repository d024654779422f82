// Memory running out at end of request: whatever allocation fails, the
// client gets exactly one response and the context is destroyed. The
// dispatcher runs in-process here so that its allocations can be failed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "config/settings.h"
#include "filter/lifecycle.h"
#include "filter/request_context.h"
#include "support/test_host.h"

namespace {

// Allocations on this thread fail from the failAt-th on (persistent) or at
// that one only.
thread_local long allocationsLeft = -1;
thread_local bool persistentFailure = false;
thread_local long failures = 0;

void* allocate(std::size_t size) {
  if (allocationsLeft == 0) {
    ++failures;
    if (!persistentFailure) allocationsLeft = -1;
    throw std::bad_alloc();
  }
  if (allocationsLeft > 0) --allocationsLeft;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace vantomer {
namespace {

// A host with no allocation of its own while the filter runs.
struct QuietHost {
  HTTP_FILTER_CONTEXT context{};
  alignas(std::max_align_t) unsigned char memory[sizeof(RequestContext)];
  std::string output;
  int writes = 0;

  QuietHost() {
    output.reserve(1 << 20);
    context.ServerContext = this;
    context.AllocMem = [](HTTP_FILTER_CONTEXT* pfc, DWORD, DWORD) -> void* {
      return static_cast<QuietHost*>(pfc->ServerContext)->memory;
    };
    context.GetServerVariable = [](HTTP_FILTER_CONTEXT*, LPSTR, LPVOID, LPDWORD) -> BOOL {
      return FALSE;
    };
    context.WriteClient = [](HTTP_FILTER_CONTEXT* pfc, LPVOID buffer, LPDWORD bytes,
                             DWORD) -> BOOL {
      auto* host = static_cast<QuietHost*>(pfc->ServerContext);
      ++host->writes;
      HTTP_FILTER_RAW_DATA raw{buffer, *bytes, *bytes, 0};
      httpFilterProc(pfc, SF_NOTIFY_SEND_RAW_DATA, &raw);
      host->output.append(static_cast<const char*>(raw.pvInData), raw.cbInData);
      return TRUE;
    };
  }

  void startHolding() {
    HTTP_FILTER_SEND_RESPONSE record{};
    record.GetHeader = [](HTTP_FILTER_CONTEXT*, LPSTR, LPVOID buffer, LPDWORD size) -> BOOL {
      static const char kType[] = "text/x-telmark; charset=UTF-8";
      if (*size < sizeof kType) return FALSE;
      std::memcpy(buffer, kType, sizeof kType);
      return TRUE;
    };
    httpFilterProc(&context, SF_NOTIFY_SEND_RESPONSE, &record);
  }

  // Returns the bytes the host may still send.
  DWORD send(std::string& block) {
    HTTP_FILTER_RAW_DATA raw{block.data(), static_cast<DWORD>(block.size()),
                             static_cast<DWORD>(block.size()), 0};
    httpFilterProc(&context, SF_NOTIFY_SEND_RAW_DATA, &raw);
    return raw.cbInData;
  }

  void hold(const std::string& response) {
    startHolding();
    std::string block = response;
    send(block);
  }
};

const char kOutOfMemoryText[] =
    "Not enough memory resources are available to complete this operation.\r\n";

class OutOfMemory : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    auto profile = std::make_unique<OutputCoordinator>();
    profile->locationCorrect = false;
    profile->cookieImitation = false;
    moduleFilter().profiles().push_back(std::move(profile));
  }
  void TearDown() override { moduleFilter().profiles().clear(); }
};

TEST_P(OutOfMemory, EveryFailingAllocationEndsInOneResponse) {
  const std::string app = test::appResponse(
      "<html><body><k-emoji num=\"1\"/><p>text</p><input k-mode=\"alphabet\"/></body></html>");
  bool completed = false;
  int outOfMemoryBodies = 0;  // the error response of the failure
  int emptyErrorBodies = 0;   // the fixed one, when not even that could be built
  for (long failAt = 0; failAt < 5000 && !completed; ++failAt) {
    SCOPED_TRACE(failAt);
    QuietHost host;
    host.hold(app);
    ASSERT_NE(host.context.pFilterContext, nullptr);

    failures = 0;
    persistentFailure = GetParam();
    allocationsLeft = failAt;
    const DWORD status = httpFilterProc(&host.context, SF_NOTIFY_END_OF_REQUEST, nullptr);
    allocationsLeft = -1;
    completed = failures == 0;

    EXPECT_EQ(status, DWORD{SF_STATUS_REQ_NEXT_NOTIFICATION});
    EXPECT_EQ(host.context.pFilterContext, nullptr);
    EXPECT_EQ(host.writes, 2);
    EXPECT_TRUE(test::isOneCompleteResponse(host.output));
    const test::HttpMessage message = test::HttpMessage::parse(host.output);
    // A failing conversion step may end only that step, so 200 can follow a
    // failure too.
    if (completed) {
      EXPECT_EQ(message.statusCode(), 200) << host.output;
    } else {
      EXPECT_TRUE(message.statusCode() == 200 || message.statusCode() == 500) << host.output;
      if (message.body == kOutOfMemoryText) ++outOfMemoryBodies;
      if (message.statusCode() == 500 && message.body.empty()) ++emptyErrorBodies;
    }
  }
  EXPECT_TRUE(completed);
  if (GetParam()) {
    EXPECT_GT(emptyErrorBodies, 0);
  } else {
    EXPECT_GT(outOfMemoryBodies, 0);
  }
}

TEST_F(OutOfMemory, WhileCapturingTheRestIsWithheld) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/x-telmark\r\nX-App: 1\r\n\r\n";
  const std::pair<int, std::string> cases[] = {
      {0, "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 71\r\n\r\n"},
      {1,
       "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 71\r\n"
       "Content-Type: text/plain\r\nX-App: 1\r\n\r\n"},
  };
  for (const auto& [failingBlock, expectedHead] : cases) {
    SCOPED_TRACE(failingBlock);
    QuietHost host;
    host.startHolding();
    std::string blocks[] = {head, std::string(5000, 'x'), "<html/>"};
    for (int i = 0; i < 3; ++i) {
      persistentFailure = false;
      allocationsLeft = i == failingBlock ? 0 : -1;
      EXPECT_EQ(host.send(blocks[i]), 0u);
      allocationsLeft = -1;
    }
    httpFilterProc(&host.context, SF_NOTIFY_END_OF_REQUEST, nullptr);
    EXPECT_EQ(host.output, expectedHead + kOutOfMemoryText);
    EXPECT_EQ(host.context.pFilterContext, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Allocation, OutOfMemory, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FromThenOn" : "OneOnly"; });

}  // namespace
}  // namespace vantomer
