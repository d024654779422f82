// Heads whose fields stay in the host's own lists, and a filter that turns
// off the rest of a request: the filter must see and cause the same as with
// the binding's copies and every notification.

#include "support/binding_fixture.h"

namespace vantomer::host {
namespace {

using namespace scripted;

// Every read a filter makes of both heads, before and after it changes them.
std::vector<std::string> readEverything(HTTP_FILTER_CONTEXT* pfc,
                                        HTTP_FILTER_PREPROC_HEADERS* request) {
  std::vector<std::string> reads;
  auto keep = [&reads](const char* what, const Read& read) {
    reads.push_back(std::string(what) + "=" + (read.result ? read.value : "(none)") + "/" +
                    std::to_string(read.size));
  };
  for (const char* name : {"SERVER_NAME", "HTTP_USER_AGENT", "HTTP_X_TWO", "CONTENT_LENGTH",
                           "ALL_HTTP", "ALL_RAW", "HTTP_NONE"})
    keep(name, variable(pfc, name));
  for (const char* name : {"Cookie:", "x-two:", "url", "None:"})
    keep(name, header(pfc, request, name));
  keep("small", header(pfc, request, "User-Agent:", 4));
  request->SetHeader(pfc, const_cast<char*>("X-Two:"), const_cast<char*>("c"));
  request->AddHeader(pfc, const_cast<char*>("X-New:"), const_cast<char*>("n"));
  keep("after", variable(pfc, "ALL_RAW", 1024));
  return reads;
}

TEST_F(BindingTest, FieldsReadInPlaceReadAsTheCopy) {
  const Headers fields = {{"Host", "example.jp:8080"},
                          {"User-Agent", "Handset/1.0"},
                          {"X-Two", "a"},
                          {"x_two", "b"},
                          {"Cookie", "a=1"},
                          {"Cookie", "b=2"}};
  struct Outcome {
    std::vector<std::string> reads;
    std::string contentType;
    Headers request;
    std::string client;
  };
  auto runIn = [&](bool inPlace) {
    Outcome outcome;
    script_ = Script{};
    script_.preproc = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* request) {
      outcome.reads = readEverything(pfc, request);
    };
    script_.response = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_SEND_RESPONSE* response) {
      outcome.contentType = header(pfc, response, "Content-Type:").value;
      response->SetHeader(pfc, const_cast<char*>("X-Added:"), const_cast<char*>("1"));
    };
    inPlace_ = inPlace;
    client_.clear();
    run(fields);
    outcome.request = request_.headers;
    outcome.client = client_;
    // A change leaves the head with a list of its own.
    EXPECT_EQ(request_.source, nullptr);
    EXPECT_EQ(response_.head.source, nullptr);
    return outcome;
  };
  const Outcome copied = runIn(false);
  const Outcome inPlace = runIn(true);
  EXPECT_EQ(inPlace.reads, copied.reads);
  EXPECT_EQ(inPlace.contentType, "text/plain");
  EXPECT_EQ(inPlace.contentType, copied.contentType);
  ASSERT_EQ(inPlace.request.size(), copied.request.size());
  for (std::size_t i = 0; i < copied.request.size(); ++i) {
    EXPECT_EQ(inPlace.request[i].name, copied.request[i].name);
    EXPECT_EQ(inPlace.request[i].value, copied.request[i].value);
  }
  EXPECT_NE(inPlace.client.find("X-Added: 1\r\n"), std::string::npos);
  EXPECT_EQ(inPlace.client, copied.client);
}

TEST_F(BindingTest, AFilterMayTurnOffTheRestOfARequest) {
  struct Case {
    const char* what;
    SF_REQ_TYPE request;
    DWORD flags;
    BOOL accepted;
    std::vector<std::string> seen;
  };
  const std::string head(kHead);
  const Case cases[] = {
      {"raw data and end",
       SF_REQ_DISABLE_NOTIFICATIONS,
       SF_NOTIFY_SEND_RAW_DATA | SF_NOTIFY_END_OF_REQUEST,
       TRUE,
       {"preproc", "response"}},
      {"the end only",
       SF_REQ_DISABLE_NOTIFICATIONS,
       SF_NOTIFY_END_OF_REQUEST,
       TRUE,
       {"preproc", "response", "raw:" + head, "raw:hello"}},
      {"another request",
       SF_REQ_GET_CONNID,
       SF_NOTIFY_SEND_RAW_DATA,
       FALSE,
       {"preproc", "response", "raw:" + head, "raw:hello", "end"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BOOL accepted = -1;
    script_ = Script{};
    script_.response = [&](HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_SEND_RESPONSE*) {
      accepted = pfc->ServerSupportFunction(pfc, c.request, nullptr, c.flags, 0);
    };
    client_.clear();
    run();
    EXPECT_EQ(accepted, c.accepted);
    EXPECT_EQ(script_.seen, c.seen);
    EXPECT_EQ(client_, kResponse);
    // The next request of the connection sees every notification again.
    script_.seen.clear();
    script_.response = nullptr;
    RequestHead next{"GET", "/", "HTTP/1.1", {}};
    RawResponse response = splitRawResponse(kResponse);
    runExchange(*connection_, next, response.head, response.body, 4096);
    EXPECT_EQ(script_.seen.back(), "end");
  }
}

}  // namespace
}  // namespace vantomer::host
