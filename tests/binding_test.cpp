// The host binding on its own, with a scripted filter in this process: the
// callbacks a filter gets, the notification order, what reaches the client.

#include "support/binding_fixture.h"

namespace vantomer::host {
namespace {

using namespace scripted;

TEST_F(BindingTest, ServerVariables) {
  const Headers fields = {{"Host", "example.jp:8080"},
                          {"User-Agent", "Handset/1.0"},
                          {"X-Two", "a"},
                          {"x-two", "b"},
                          {"Cookie", "a=1"},
                          {"Cookie", "b=2"},
                          {"Content-Type", "text/plain"}};
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"HTTPS", "off"},
      {"SERVER_PORT", "8080"},
      {"SERVER_NAME", "example.jp"},
      {"REMOTE_ADDR", "10.0.0.2"},
      {"URL", "/dir/page"},
      {"QUERY_STRING", "q=1"},
      {"REQUEST_METHOD", "GET"},
      {"http_user_agent", "Handset/1.0"},
      {"HTTP_X_TWO", "a, b"},
      {"CONTENT_TYPE", "text/plain"},
      {"CONTENT_LENGTH", "0"},
      {"SERVER_SOFTWARE", "test/1"},
      {"HTTP_X_NONE", std::nullopt},
      {"NO_SUCH_VARIABLE", std::nullopt},
  };
  std::vector<std::pair<std::string, Read>> reads;
  script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS*) {
    for (const auto& [name, expected] : cases) reads.emplace_back(name, variable(pfc, name));
  };
  run(fields);
  ASSERT_EQ(reads.size(), std::size(cases));
  for (std::size_t i = 0; i < reads.size(); ++i) {
    SCOPED_TRACE(reads[i].first);
    const Read& read = reads[i].second;
    if (cases[i].second) {
      EXPECT_EQ(read.result, TRUE);
      EXPECT_EQ(read.value, *cases[i].second);
      EXPECT_EQ(read.size, cases[i].second->size() + 1);
    } else {
      EXPECT_EQ(read.result, FALSE);
    }
  }
}

TEST_F(BindingTest, EmptyValuesAreValues) {
  std::vector<Read> reads;
  script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers) {
    for (const char* name : {"QUERY_STRING", "HTTP_X_EMPTY", "CONTENT_TYPE"})
      reads.push_back(variable(pfc, name));
    reads.push_back(header(pfc, headers, "X-Empty:"));
  };
  run({{"X-Empty", ""}}, 4096, false, "/no-query");
  ASSERT_EQ(reads.size(), 4u);
  for (const Read& read : reads) {
    EXPECT_EQ(read.result, TRUE);
    EXPECT_EQ(read.size, 1u);
    EXPECT_EQ(read.value, "");
  }
}

TEST_F(BindingTest, ServerNameIsTheHostWithoutItsPort) {
  const std::pair<const char*, const char*> cases[] = {
      {"[::1]:8080", "[::1]"}, {"[::1", "[::1"}, {"plain", "plain"}, {"", "10.0.0.1"}};
  for (const auto& [host, name] : cases) {
    std::string read;
    script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS*) {
      read = variable(pfc, "SERVER_NAME").value;
    };
    run({{"Host", host}});
    EXPECT_EQ(read, name) << host;
  }
}

TEST_F(BindingTest, ValuesThatDoNotFitLeaveTheBufferAlone) {
  // "/dir/page?q=1" is 13 bytes and its NUL.
  const std::pair<DWORD, BOOL> cases[] = {{14, TRUE}, {13, FALSE}, {1, FALSE}, {0, FALSE}};
  for (const auto& [capacity, fits] : cases) {
    SCOPED_TRACE(capacity);
    Read url{}, x{};
    script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers) {
      url = header(pfc, headers, "url", capacity);
      x = variable(pfc, "HTTP_X", capacity);
    };
    run({{"X", "/dir/page?q=1"}});
    for (const Read& read : {url, x}) {
      EXPECT_EQ(read.result, fits);
      EXPECT_EQ(read.size, 14u);
      if (fits) {
        EXPECT_EQ(read.value, "/dir/page?q=1");
      } else {
        EXPECT_EQ(read.value, std::string(capacity, '#'));
      }
    }
  }
}

TEST_F(BindingTest, RequestHeadersAsTheFilterChangesThem) {
  struct Case {
    const char* name;
    const char* header;
    const char* value;
    bool add;
    BOOL result;
    std::string url;
    Headers fields;
  };
  const Headers before = {{"Cookie", "a=1"}, {"X-One", "1"}, {"Cookie", "b=2"}};
  const Case cases[] = {
      {"replaces the first, drops the rest",
       "cookie:",
       "c=3",
       false,
       TRUE,
       "/dir/page?q=1",
       {{"Cookie", "c=3"}, {"X-One", "1"}}},
      {"an empty value stays",
       "Cookie:",
       "",
       false,
       TRUE,
       "/dir/page?q=1",
       {{"Cookie", ""}, {"X-One", "1"}}},
      {"adds a missing field",
       "X-New:",
       "v",
       false,
       TRUE,
       "/dir/page?q=1",
       {{"Cookie", "a=1"}, {"X-One", "1"}, {"Cookie", "b=2"}, {"X-New", "v"}}},
      {"AddHeader appends",
       "X-One:",
       "2",
       true,
       TRUE,
       "/dir/page?q=1",
       {{"Cookie", "a=1"}, {"X-One", "1"}, {"Cookie", "b=2"}, {"X-One", "2"}}},
      {"url", "url", "/other?x", false, TRUE, "/other?x", before},
      {"url without a slash", "url", "other", false, FALSE, "/dir/page?q=1", before},
      {"url with a space", "url", "/a b", false, FALSE, "/dir/page?q=1", before},
      {"url climbing in the root", "url", "/a/../b/./c?x=/../..", false, TRUE,
       "/a/../b/./c?x=/../..", before},
      {"url climbing out", "url", "//../etc/passwd", false, FALSE, "/dir/page?q=1", before},
      {"url climbing out escaped", "url", "/a/%2e%2E%2f..", false, FALSE, "/dir/page?q=1", before},
      {"url climbing out by backslash", "url", "/..\\x", false, FALSE, "/dir/page?q=1", before},
      {"url with a NUL", "url", "/config.php%00.txt", false, FALSE, "/dir/page?q=1", before},
      {"another spelling of the name",
       "x_ONE:",
       "9",
       false,
       TRUE,
       "/dir/page?q=1",
       {{"Cookie", "a=1"}, {"X-One", "9"}, {"Cookie", "b=2"}}},
      {"value with a line break", "X-One:", "1\r\nX-Evil: 1", false, FALSE, "/dir/page?q=1",
       before},
      {"name with a space", "X One:", "1", false, FALSE, "/dir/page?q=1", before},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BOOL result = -1;
    std::string cookies;
    script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers) {
      cookies = header(pfc, headers, "Cookie:").value;
      auto set = c.add ? headers->AddHeader : headers->SetHeader;
      result = set(pfc, const_cast<char*>(c.header), const_cast<char*>(c.value));
    };
    run(before);
    EXPECT_EQ(cookies, "a=1; b=2");
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(request_.url, c.url);
    ASSERT_EQ(request_.headers.size(), c.fields.size());
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(request_.headers[i].name, c.fields[i].name);
      EXPECT_EQ(request_.headers[i].value, c.fields[i].value);
    }
  }
}

TEST_F(BindingTest, HostMemoryIsAlignedAndKeptUntilTheRequestEnds) {
  std::vector<unsigned char*> blocks;
  void* tooLarge = reinterpret_cast<void*>(1);
  script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS*) {
    // Past the kept block and into the heap.
    for (DWORD size : {1u, 24u, 200u, 700u, 5000u}) {
      auto* block = static_cast<unsigned char*>(pfc->AllocMem(pfc, size, 0));
      ASSERT_NE(block, nullptr);
      std::memset(block, static_cast<int>(blocks.size()), size);
      blocks.push_back(block);
    }
    tooLarge = pfc->AllocMem(pfc, 65u * 1024 * 1024, 0);
  };
  bool intact = false;
  script_.endOfRequest = [&](HTTP_FILTER_CONTEXT*) {
    intact = true;
    const DWORD sizes[] = {1, 24, 200, 700, 5000};
    for (std::size_t i = 0; i < blocks.size(); ++i)
      for (DWORD b = 0; b < sizes[i]; ++b) intact = intact && blocks[i][b] == i;
  };
  run();
  EXPECT_TRUE(intact);
  EXPECT_EQ(tooLarge, nullptr);
  for (unsigned char* block : blocks)
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u);

  // The hook fails every request for memory.
  script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS*) {
    tooLarge = pfc->AllocMem(pfc, 16, 0);
  };
  script_.endOfRequest = nullptr;
  const std::unique_ptr<FilterModule> module = load();
  FilterConnection connection(*module, {}, [](std::string_view) { return true; });
  connection.hooks().failAllocMem = true;
  RequestHead request{"GET", "/", "HTTP/1.1", {}};
  ResponseHead head;
  runExchange(connection, request, head, {}, 16);
  EXPECT_EQ(tooLarge, nullptr);
}

TEST_F(BindingTest, WhatTheFilterLeavesOfARawBlockGoesOut) {
  static char own[] = "own bytes";
  struct Case {
    const char* name;
    std::function<void(HTTP_FILTER_RAW_DATA*)> change;
    std::string client;
  };
  // The head and the body go out as two blocks.
  const std::string head(kHead);
  const Case cases[] = {
      {"untouched", [](HTTP_FILTER_RAW_DATA*) {}, std::string(kResponse)},
      {"withheld", [](HTTP_FILTER_RAW_DATA* raw) { raw->cbInData = 0; }, ""},
      {"shortened", [](HTTP_FILTER_RAW_DATA* raw) { raw->cbInData = 4; }, "HTTPhell"},
      {"moved on",
       [](HTTP_FILTER_RAW_DATA* raw) {
         raw->pvInData = static_cast<char*>(raw->pvInData) + 1;
         raw->cbInData -= 1;
       },
       head.substr(1) + "ello"},
      // More than the host's copy holds cannot be read from it.
      {"overlong", [](HTTP_FILTER_RAW_DATA* raw) { raw->cbInData += 100; }, std::string(kResponse)},
      {"overlong after a move",
       [](HTTP_FILTER_RAW_DATA* raw) { raw->pvInData = static_cast<char*>(raw->pvInData) + 2; },
       head.substr(2) + "llo"},
      {"a buffer of its own",
       [](HTTP_FILTER_RAW_DATA* raw) {
         raw->pvInData = own;
         raw->cbInData = 3;
       },
       "ownown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    client_.clear();
    script_.rawData = [&](HTTP_FILTER_CONTEXT*, HTTP_FILTER_RAW_DATA* raw) { c.change(raw); };
    run();
    EXPECT_EQ(client_, c.client);
  }
}

TEST_F(BindingTest, NotificationOrderAndBlocks) {
  run({}, 16);
  // The head in blocks of its own, then the body's.
  std::vector<std::string> expected = {"preproc", "response"};
  for (std::size_t at = 0; at < kHead.size(); at += 16)
    expected.push_back("raw:" + std::string(kHead.substr(at, 16)));
  expected.push_back("raw:hello");
  expected.push_back("end");
  ASSERT_EQ(kHead.size() % 16, 0u);
  EXPECT_EQ(script_.seen, expected);
  EXPECT_EQ(client_, kResponse);
  EXPECT_TRUE(writes_.empty());
}

TEST_F(BindingTest, OnlyTheNotificationsAskedForComeOnTheirPorts) {
  struct Case {
    DWORD flags;
    bool secure;
    std::vector<std::string> seen;
  };
  const Case cases[] = {
      {SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_END_OF_REQUEST, false, {"preproc", "end"}},
      {kAllFour & ~SF_NOTIFY_NONSECURE_PORT, false, {}},
      {kAllFour & ~SF_NOTIFY_SECURE_PORT, true, {}},
      // No port named: both.
      {SF_NOTIFY_SEND_RESPONSE, true, {"response"}},
  };
  for (const Case& c : cases) {
    script_.flags = c.flags;
    script_.seen.clear();
    client_.clear();
    run({}, 4096, c.secure);
    EXPECT_EQ(script_.seen, c.seen);
    EXPECT_EQ(client_, kResponse);
  }
}

TEST_F(BindingTest, AFinishedRequestGetsNoResponseButItsEnd) {
  script_.status = SF_STATUS_REQ_FINISHED;
  run();
  EXPECT_EQ(script_.seen, (std::vector<std::string>{"preproc", "end"}));
  EXPECT_EQ(client_, "");
  EXPECT_TRUE(connection_->closeRequested());
}

TEST(SplitRawResponse, ReadsWhatTheApplicationWrote) {
  struct Case {
    const char* name;
    std::string head;
    std::string body;
    int status;
    Headers fields;
  };
  const std::string interim = "HTTP/1.1 100 Continue\r\nX-I: 1\r\n\r\n";
  const Case cases[] = {
      {"plain",
       "HTTP/1.1 404 Not Found\r\nA: 1\r\nB:2\r\n\r\n",
       "body",
       404,
       {{"A", "1"}, {"B", "2"}}},
      {"interim first", interim + "HTTP/1.1 200 OK\r\nA: 1\r\n\r\n", "x", 200, {{"A", "1"}}},
      {"only interim", interim, "", 100, {{"X-I", "1"}}},
      {"no fields, body with colons", "HTTP/1.1 200 OK\r\n\r\n", "x: y\r\n", 200, {}},
      {"head cut short", "HTTP/1.1 200 OK\r\nA: 1", "", 200, {{"A", "1"}}},
      {"line without colon", "HTTP/1.0 302 Found\r\nodd\r\nB: 2\r\n\r\n", "", 302, {{"B", "2"}}},
      {"garbage", "garbage", "", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = c.head + c.body;
    const RawResponse response = splitRawResponse(bytes);
    EXPECT_EQ(response.head.status, c.status);
    EXPECT_EQ(response.head.raw, c.head);
    EXPECT_EQ(response.body, c.body);
    ASSERT_EQ(response.head.headers.size(), c.fields.size());
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(response.head.headers[i].name, c.fields[i].name);
      EXPECT_EQ(response.head.headers[i].value, c.fields[i].value);
    }
  }
  EXPECT_EQ(splitRawResponse("HTTP/1.1 404 Not Found\r\n\r\n").head.reason, "Not Found");
}

}  // namespace
}  // namespace vantomer::host
