// Memory running out at end of request: whatever allocation fails, the
// client gets exactly one response and the context is destroyed. The
// dispatcher runs in-process here so that its allocations can be failed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "alloc/failing_allocator.h"
#include "binding/filter_connection.h"
#include "binding/filter_module.h"
#include "config/settings.h"
#include "filter/lifecycle.h"
#include "filter/request_context.h"
#include "support/test_host.h"

using vantomer::test::allocationsLeft;
using vantomer::test::failures;
using vantomer::test::persistentFailure;

namespace vantomer {
namespace {

BOOL registerOnly(HTTP_FILTER_VERSION* version) {
  version->dwFlags = kFilterFlags;
  return TRUE;
}

BOOL terminateNothing(DWORD) { return TRUE; }

// The host binding around the dispatcher in this process, with its memory
// set aside beforehand: while the filter runs the host allocates nothing, so
// every allocation failed below is the filter's.
struct QuietHost {
  std::unique_ptr<host::FilterModule> module =
      host::FilterModule::inProcess({registerOnly, httpFilterProc, terminateNothing}, "dispatcher");
  std::string output;
  host::RequestHead request{"GET", "/", "HTTP/1.1", {}};
  host::ResponseHead head;
  std::unique_ptr<host::FilterConnection> connection;

  QuietHost() {
    output.reserve(1 << 20);
    module->getFilterVersion();
    host::ConnectionOptions options;
    options.keptMemory = sizeof(RequestContext);
    options.reservedBlock = 64 * 1024;
    connection = std::make_unique<host::FilterConnection>(
        *module, host::ConnectionInfo{},
        [this](std::string_view bytes) {
          output.append(bytes);
          return true;
        },
        options);
    connection->beginRequest(request);
  }

  HTTP_FILTER_CONTEXT& context() { return *connection->context(); }
  std::size_t writes() const { return connection->writeClientCalls(); }

  void startHolding() {
    head.headers = {{"Content-Type", "text/x-telmark; charset=UTF-8"}};
    connection->sendResponse(head);
  }

  // Returns the bytes the host sent of the block.
  std::size_t send(const std::string& block) {
    const std::size_t before = output.size();
    connection->sendRawData(block);
    return output.size() - before;
  }

  void hold(const std::string& response) {
    startHolding();
    send(response);
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
    ASSERT_NE(host.context().pFilterContext, nullptr);

    failures() = 0;
    persistentFailure() = GetParam();
    allocationsLeft() = failAt;
    const DWORD status = host.connection->endOfRequest();
    allocationsLeft() = -1;
    completed = failures() == 0;

    EXPECT_EQ(status, DWORD{SF_STATUS_REQ_NEXT_NOTIFICATION});
    EXPECT_EQ(host.context().pFilterContext, nullptr);
    EXPECT_EQ(host.writes(), 2u);
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
      persistentFailure() = false;
      allocationsLeft() = i == failingBlock ? 0 : -1;
      EXPECT_EQ(host.send(blocks[i]), 0u);
      allocationsLeft() = -1;
    }
    host.connection->endOfRequest();
    EXPECT_EQ(host.output, expectedHead + kOutOfMemoryText);
    EXPECT_EQ(host.context().pFilterContext, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Allocation, OutOfMemory, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FromThenOn" : "OneOnly"; });

}  // namespace
}  // namespace vantomer
