#pragma once
// The host binding on its own, with a scripted filter in the test's process:
// a module around the script, a connection on it, and what the client got.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binding/exchange.h"
#include "binding/filter_connection.h"
#include "binding/filter_module.h"

namespace vantomer::host::scripted {

constexpr DWORD kAllFour = SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_SEND_RESPONSE |
                           SF_NOTIFY_SEND_RAW_DATA | SF_NOTIFY_END_OF_REQUEST |
                           SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT;

// What the scripted filter registers for, does, and saw.
struct Script {
  DWORD flags = kAllFour;
  DWORD status = SF_STATUS_REQ_NEXT_NOTIFICATION;
  std::function<void(HTTP_FILTER_CONTEXT*, HTTP_FILTER_PREPROC_HEADERS*)> preproc;
  std::function<void(HTTP_FILTER_CONTEXT*, HTTP_FILTER_SEND_RESPONSE*)> response;
  std::function<void(HTTP_FILTER_CONTEXT*, HTTP_FILTER_RAW_DATA*)> rawData;
  std::function<void(HTTP_FILTER_CONTEXT*)> endOfRequest;
  std::vector<std::string> seen;
};

inline Script* script = nullptr;

inline BOOL scriptVersion(HTTP_FILTER_VERSION* version) {
  version->dwFlags = script->flags;
  return TRUE;
}

inline DWORD scriptProc(HTTP_FILTER_CONTEXT* pfc, DWORD notification, void* record) {
  switch (notification) {
    case SF_NOTIFY_PREPROC_HEADERS:
      script->seen.push_back("preproc");
      if (script->preproc) script->preproc(pfc, static_cast<HTTP_FILTER_PREPROC_HEADERS*>(record));
      break;
    case SF_NOTIFY_SEND_RESPONSE:
      script->seen.push_back("response");
      if (script->response) script->response(pfc, static_cast<HTTP_FILTER_SEND_RESPONSE*>(record));
      break;
    case SF_NOTIFY_SEND_RAW_DATA: {
      auto* raw = static_cast<HTTP_FILTER_RAW_DATA*>(record);
      script->seen.push_back("raw:" +
                             std::string(static_cast<const char*>(raw->pvInData), raw->cbInData));
      if (script->rawData) script->rawData(pfc, raw);
      break;
    }
    case SF_NOTIFY_END_OF_REQUEST:
      script->seen.push_back("end");
      if (script->endOfRequest) script->endOfRequest(pfc);
      break;
    default:
      break;
  }
  return script->status;
}

inline BOOL scriptTerminate(DWORD) { return TRUE; }

// A module around the script, a connection on it, and what the client got.
class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override { script = &script_; }
  void TearDown() override { script = nullptr; }

  std::unique_ptr<FilterModule> load() {
    auto module =
        FilterModule::inProcess({scriptVersion, scriptProc, scriptTerminate}, "scripted filter");
    module->getFilterVersion();
    return module;
  }

  // One request with the given fields; the application answers with a
  // small page.
  void run(Headers fields = {}, std::size_t blockSize = 4096, bool secure = false,
           std::string url = "/dir/page?q=1") {
    connection_.reset();
    module_ = load();
    ConnectionInfo info{secure, "10.0.0.1", 8080, "10.0.0.2", 4567, "test/1"};
    connection_ = std::make_unique<FilterConnection>(*module_, info, [this](std::string_view b) {
      client_ += b;
      return true;
    });
    connection_->hooks().writes = &writes_;
    request_ = RequestHead{"GET", std::move(url), "HTTP/1.1", std::move(fields)};
    response_ = splitRawResponse(kResponse);
    if (inPlace_) {
      // The fields stay in lists of the host's own, as nginx keeps them.
      requestList_.fields = std::move(request_.headers);
      request_.headers.clear();
      request_.source = &requestList_;
      responseList_.fields = std::move(response_.head.headers);
      response_.head.headers.clear();
      response_.head.source = &responseList_;
    }
    runExchange(*connection_, request_, response_.head, response_.body, blockSize);
  }

  static constexpr std::string_view kResponse =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\nhello";
  static constexpr std::string_view kHead = kResponse.substr(0, kResponse.size() - 5);

  // A host's own list of fields.
  struct List final : FieldSource {
    Headers fields;
    // Skips what a lookup does not want, as nginx's lists do.
    void forEach(Visit visit, void* state, std::size_t nameLength) const override {
      for (const Header& h : fields)
        if (!nameLength || h.name.size() == nameLength) visit(state, h.name, h.value);
    }
  };

  bool inPlace_ = false;
  List requestList_;
  List responseList_;
  Script script_;
  std::unique_ptr<FilterModule> module_;
  std::unique_ptr<FilterConnection> connection_;
  RequestHead request_;
  RawResponse response_;
  std::string client_;
  std::vector<std::string> writes_;
};

// A value read through a getter with a buffer of the given size.
struct Read {
  BOOL result;
  DWORD size;
  std::string value;
};

// Bytes of the buffer that the host left alone read as '#'.
template <typename Get>
inline Read readWith(Get get, DWORD capacity) {
  std::vector<char> buffer(capacity + 1, '#');
  DWORD size = capacity;
  const BOOL result = get(buffer.data(), &size);
  return {result, size, result ? std::string(buffer.data()) : std::string(buffer.data(), capacity)};
}

inline Read variable(HTTP_FILTER_CONTEXT* pfc, const char* name, DWORD capacity = 256) {
  return readWith(
      [&](char* b, LPDWORD s) {
        return pfc->GetServerVariable(pfc, const_cast<char*>(name), b, s);
      },
      capacity);
}

inline Read header(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record, const char* name,
                   DWORD capacity = 256) {
  return readWith(
      [&](char* b, LPDWORD s) { return record->GetHeader(pfc, const_cast<char*>(name), b, s); },
      capacity);
}

}  // namespace vantomer::host::scripted
