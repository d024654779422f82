// A small filter for the host's own tests. It shows in the request what it
// could read through the interface, rewrites URLs that start with
// /rewrite, counts requests per connection in pFilterContext, and holds back
// responses of type text/x-hold to answer them itself at end of request
// (text/x-hold-slow: after a pause, as a long conversion would take).
// VANTOMER_TESTFILTER_REFUSE=1 makes GetFilterVersion fail.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "vantomer/httpfilt.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct ConnectionState {
  int requests = 0;
  bool holding = false;
  bool slow = false;
  bool passThrough = false;
  int heldBlocks = 0;
  std::string held;
  unsigned char* scratch = nullptr;  // from AllocMem, checked at end of request
};

ConnectionState* state(HTTP_FILTER_CONTEXT* pfc) {
  if (!pfc->pFilterContext) pfc->pFilterContext = new (std::nothrow) ConnectionState();
  return static_cast<ConnectionState*>(pfc->pFilterContext);
}

std::string variable(HTTP_FILTER_CONTEXT* pfc, const char* name) {
  char buffer[1024];
  DWORD size = sizeof buffer;
  if (!pfc->GetServerVariable(pfc, const_cast<char*>(name), buffer, &size)) return "(none)";
  return buffer;
}

void preproc(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers) {
  ConnectionState* s = state(pfc);
  if (!s) return;
  ++s->requests;

  // Buffer semantics: a one-byte buffer is too small and tells the size.
  char tiny[1];
  DWORD tinySize = sizeof tiny;
  char url[1024];
  DWORD urlSize = sizeof url;
  const BOOL tinyResult = headers->GetHeader(pfc, const_cast<char*>("url"), tiny, &tinySize);
  if (!headers->GetHeader(pfc, const_cast<char*>("url"), url, &urlSize)) return;
  DWORD varSize = 1;
  const BOOL varResult = pfc->GetServerVariable(pfc, const_cast<char*>("URL"), tiny, &varSize);
  std::string probe = std::string(tinyResult ? "header-small=TRUE" : "header-small=FALSE") +
                      ";header-size=" + std::to_string(tinySize) +
                      ";url-length=" + std::to_string(std::strlen(url)) +
                      (varResult ? ";var-small=TRUE" : ";var-small=FALSE") +
                      ";var-size=" + std::to_string(varSize);
  headers->SetHeader(pfc, const_cast<char*>("X-Filter-Probe:"), const_cast<char*>(probe.c_str()));

  if (std::strncmp(url, "/rewrite/", 9) == 0) {
    std::string rewritten = url + 8;
    headers->SetHeader(pfc, const_cast<char*>("url"), const_cast<char*>(rewritten.c_str()));
  }
  char replaced[64];
  DWORD replacedSize = sizeof replaced;
  if (headers->GetHeader(pfc, const_cast<char*>("X-Replace-Me:"), replaced, &replacedSize))
    headers->SetHeader(pfc, const_cast<char*>("X-Replace-Me:"), const_cast<char*>("replaced"));

  std::string vars;
  for (const char* name :
       {"URL", "QUERY_STRING", "REQUEST_METHOD", "HTTPS", "SERVER_PORT", "SERVER_NAME",
        "SERVER_PROTOCOL", "REMOTE_ADDR", "HTTP_HOST", "HTTP_USER_AGENT", "HTTP_X_FILTER_PROBE"})
    vars += std::string(vars.empty() ? "" : "|") + name + "=" + variable(pfc, name);
  headers->SetHeader(pfc, const_cast<char*>("X-Filter-Vars:"), const_cast<char*>(vars.c_str()));
  const std::string count = std::to_string(s->requests);
  headers->SetHeader(pfc, const_cast<char*>("X-Filter-Request:"), const_cast<char*>(count.c_str()));
}

void sendResponse(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_SEND_RESPONSE* response) {
  ConnectionState* s = state(pfc);
  if (!s) return;
  char type[256];
  DWORD size = sizeof type;
  const bool typed = response->GetHeader(pfc, const_cast<char*>("Content-Type:"), type, &size);
  s->slow = typed && std::strcmp(type, "text/x-hold-slow") == 0;
  s->holding = s->slow || (typed && std::strcmp(type, "text/x-hold") == 0);
  s->held.clear();
  s->heldBlocks = 0;
  s->scratch = static_cast<unsigned char*>(pfc->AllocMem(pfc, 4096, 0));
  if (s->scratch) std::memset(s->scratch, 0xA5, 4096);
}

void rawData(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_RAW_DATA* raw) {
  ConnectionState* s = state(pfc);
  if (!s || !s->holding || s->passThrough) return;
  s->held.append(static_cast<const char*>(raw->pvInData), raw->cbInData);
  ++s->heldBlocks;
  raw->cbInData = 0;
}

void endOfRequest(HTTP_FILTER_CONTEXT* pfc) {
  ConnectionState* s = state(pfc);
  if (!s) return;
  bool scratchIntact = s->scratch != nullptr;
  for (int i = 0; scratchIntact && i < 4096; ++i) scratchIntact = s->scratch[i] == 0xA5;
  s->scratch = nullptr;
  if (!s->holding) return;
  s->holding = false;
  // A conversion that takes long, to show where the host runs it; the file
  // VANTOMER_TESTFILTER_MARK names tells the test it has begun.
  if (s->slow) {
    if (const char* mark = std::getenv("VANTOMER_TESTFILTER_MARK")) {
      if (FILE* f = std::fopen(mark, "w")) std::fclose(f);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  // The answer: every byte that was held, as it came (head and framing included).
  std::string body = "held " + std::to_string(s->held.size()) + " bytes in " +
                     std::to_string(s->heldBlocks) + " blocks\n" + s->held;
  std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Scratch: " +
                     std::string(scratchIntact ? "intact" : "damaged") +
                     "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  s->passThrough = true;
  DWORD n = static_cast<DWORD>(head.size());
  pfc->WriteClient(pfc, head.data(), &n, 0);
  n = static_cast<DWORD>(body.size());
  pfc->WriteClient(pfc, body.data(), &n, 0);
  s->passThrough = false;
  s->held.clear();
}

}  // namespace

EXPORT BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer) {
  const char* refuse = std::getenv("VANTOMER_TESTFILTER_REFUSE");
  if (refuse && std::strcmp(refuse, "1") == 0) return FALSE;
  pVer->dwFilterVersion = HTTP_FILTER_REVISION;
  pVer->dwFlags = SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_SEND_RESPONSE |
                  SF_NOTIFY_SEND_RAW_DATA | SF_NOTIFY_END_OF_REQUEST |
                  SF_NOTIFY_END_OF_NET_SESSION | SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT;
  std::strcpy(pVer->lpszFilterDesc, "Vantomer host test filter");
  return TRUE;
}

EXPORT DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notification, LPVOID record) {
  try {
    switch (notification) {
      case SF_NOTIFY_PREPROC_HEADERS:
        preproc(pfc, static_cast<HTTP_FILTER_PREPROC_HEADERS*>(record));
        break;
      case SF_NOTIFY_SEND_RESPONSE:
        sendResponse(pfc, static_cast<HTTP_FILTER_SEND_RESPONSE*>(record));
        break;
      case SF_NOTIFY_SEND_RAW_DATA:
        rawData(pfc, static_cast<HTTP_FILTER_RAW_DATA*>(record));
        break;
      case SF_NOTIFY_END_OF_REQUEST:
        endOfRequest(pfc);
        break;
      case SF_NOTIFY_END_OF_NET_SESSION:
        delete static_cast<ConnectionState*>(pfc->pFilterContext);
        pfc->pFilterContext = nullptr;
        break;
      default:
        break;
    }
  } catch (...) {
  }
  return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

EXPORT BOOL TerminateFilter(DWORD) { return TRUE; }
