// The notification dispatcher: the stock key in request URLs, holding of
// input documents, and their conversion at end of request.

#include <new>
#include <string>

#include "convert/convert_document.h"
#include "convert/load_document.h"
#include "cookie/cookie_imitation.h"
#include "filter/content_type.h"
#include "filter/held_response.h"
#include "filter/host_access.h"
#include "filter/lifecycle.h"
#include "filter/process_objects.h"
#include "filter/request_context.h"
#include "filter/select_profile.h"
#include "platform/dom.h"
#include "platform/text.h"

namespace vantomer {
namespace {

void onPreprocHeaders(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers) {
  const auto url = getHeader(pfc, headers, "url");
  if (!url) return;

  const FilterSettings& settings = filterSettings();
  const std::string& markL = settings.cookiePaddingMarkL;
  const std::string& markR = settings.cookiePaddingMarkR;
  const std::size_t left = url->find(markL);
  const std::size_t right = url->find(markR);
  if (left == std::string::npos || right == std::string::npos || left >= right) return;

  // Overlapping marks (the right one starting inside the left one) give the
  // empty key; the cut still spans both marks.
  const std::size_t keyStart = left + markL.size();
  const std::string key =
      right > keyStart ? url->substr(keyStart, right - keyStart) : std::string();
  std::string shortened = url->substr(0, left);
  const std::size_t cutEnd = right + markR.size();
  if (cutEnd < url->size()) shortened.append(*url, cutEnd, std::string::npos);

  setHeader(pfc, headers, "url", shortened);
  if (restoreRequestCookies(pfc, headers, key, shortened) == S_OK)
    setHeader(pfc, headers, settings.cookieStockKeyRaw, key);
}

void onSendResponse(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_SEND_RESPONSE* response) {
  const auto value = getHeader(pfc, response, "Content-Type:");
  if (!value) return;
  ContentType contentType;
  contentType.parse(*value);
  if (!text::iequals(contentType.mediaType, inputCoordinator().contentType)) return;

  void* memory = pfc->AllocMem ? pfc->AllocMem(pfc, sizeof(RequestContext), 0) : nullptr;
  // The host reclaims its memory itself; the context is only ever destroyed.
  pfc->pFilterContext = memory ? new (memory) RequestContext() : nullptr;
}

void onSendRawData(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_RAW_DATA* raw) {
  auto* context = static_cast<RequestContext*>(pfc->pFilterContext);
  if (!context || context->passThrough) return;
  if (!context->captureFailed && raw->pvInData && raw->cbInData > 0) {
    try {
      context->captured.append(static_cast<const char*>(raw->pvInData), raw->cbInData);
    } catch (const std::bad_alloc&) {
      context->captureFailed = true;
    }
  }
  raw->cbInData = 0;
}

// Loads and converts the held page; the response to send is left in
// response and body. Returns the result code of the steps.
HRESULT convertHeld(HTTP_FILTER_CONTEXT* pfc, const RequestContext& context, HeldResponse& response,
                    ResponseBody& body) {
  parseHeldResponse(context.captured, response, body);
  if (context.captureFailed) {
    // Memory ran out before the status line was kept.
    if (response.version.empty()) response.version = "HTTP/1.1";
    return E_OUTOFMEMORY;
  }

  // Held bytes that ended before a final status line (only interim
  // responses, or a status line cut short) cannot be sent as they are: a
  // client would wait for the real response or reject the status.
  if (response.version.rfind("HTTP/", 0) != 0) {
    response.version = "HTTP/1.1";
    return E_FAIL;
  }
  if (response.statusCode < 200 || response.statusCode > 999) return E_FAIL;

  const std::string userAgent = serverVariableOrEmpty(pfc, "HTTP_USER_AGENT");
  const OutputCoordinator* profile = selectProfile(profileList(), userAgent);
  if (!profile) return E_FAIL;

  dom::Document document;
  HRESULT hr = LoadDocument(inputCoordinator(), pfc, response, body, document);
  if (succeeded(hr)) hr = ConvertDocument(*profile, pfc, response, body, document);
  return hr;
}

// Last resort when not even the error response could be built.
void emitFixedError(HTTP_FILTER_CONTEXT* pfc) {
  static const char kHead[] = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n";
  static char kNothing[1];
  if (!pfc->WriteClient) return;
  DWORD size = sizeof kHead - 1;
  pfc->WriteClient(pfc, const_cast<char*>(kHead), &size, 0);
  size = 0;
  pfc->WriteClient(pfc, kNothing, &size, 0);
}

// Writes the converted page or a 500 response; never throws.
void respond(HTTP_FILTER_CONTEXT* pfc, RequestContext& context) noexcept {
  context.passThrough = true;
  HeldResponse response;
  ResponseBody body;
  HRESULT failure = S_OK;
  try {
    const HRESULT hr = convertHeld(pfc, context, response, body);
    if (failed(hr)) makeErrorResponse(response, body, hr);
    // Nothing in here throws once the first write has gone out.
    emitResponse(pfc, response, body);
  } catch (const std::bad_alloc&) {
    failure = E_OUTOFMEMORY;
  } catch (...) {
    failure = E_FAIL;
  }
  if (failed(failure)) {
    try {
      ResponseBody().swap(body);  // give back what the failed attempt held
      makeErrorResponse(response, body, failure);
      emitResponse(pfc, response, body);
    } catch (...) {
      emitFixedError(pfc);
    }
  }
  context.passThrough = false;
}

void onEndOfRequest(HTTP_FILTER_CONTEXT* pfc) {
  auto* context = static_cast<RequestContext*>(pfc->pFilterContext);
  if (!context) return;
  respond(pfc, *context);
  context->~RequestContext();
  pfc->pFilterContext = nullptr;
}

}  // namespace

DWORD httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType, void* notification) {
  if (!pfc) return SF_STATUS_REQ_NEXT_NOTIFICATION;
  try {
    switch (notificationType) {
      case SF_NOTIFY_PREPROC_HEADERS:
        if (notification)
          onPreprocHeaders(pfc, static_cast<HTTP_FILTER_PREPROC_HEADERS*>(notification));
        break;
      case SF_NOTIFY_SEND_RESPONSE:
        if (notification)
          onSendResponse(pfc, static_cast<HTTP_FILTER_SEND_RESPONSE*>(notification));
        break;
      case SF_NOTIFY_SEND_RAW_DATA:
        if (notification) onSendRawData(pfc, static_cast<HTTP_FILTER_RAW_DATA*>(notification));
        break;
      case SF_NOTIFY_END_OF_REQUEST:
        onEndOfRequest(pfc);
        break;
      default:
        break;
    }
  } catch (...) {
    // Failures show only in the response sent, never to the host.
  }
  return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

}  // namespace vantomer
