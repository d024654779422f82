#include "filter/dispatcher.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <new>
#include <string>

#include "cookie/restore_request_cookies.h"
#include "filter/convert_page.h"
#include "filter/emit_response.h"
#include "filter/host_access.h"
#include "filter/request_context.h"
#include "http/content_type.h"
#include "platform/system.h"
#include "platform/text.h"

namespace vantomer {
namespace {

constexpr std::size_t kTrimAfterHeldBytes = 512 * 1024;

// Restores the stocked cookies of the key in the URL; true when the request
// now carries them and the key header.
bool restoreFromUrl(Filter& filter, HTTP_FILTER_CONTEXT* pfc,
                    HTTP_FILTER_PREPROC_HEADERS* headers) {
  std::array<char, kHostBuffer> buffer;
  const auto url = readHeader(pfc, headers->GetHeader, "url", buffer);
  if (!url) return false;

  const FilterSettings& settings = filter.settings();
  const std::string& markL = settings.cookiePaddingMarkL;
  const std::string& markR = settings.cookiePaddingMarkR;
  const std::size_t left = url->find(markL);
  if (left == std::string::npos) return false;
  const std::size_t right = url->find(markR);
  if (right == std::string::npos || left >= right) return false;

  // Overlapping marks (the right one starting inside the left one) give the
  // empty key; the cut still spans both marks.
  const std::size_t keyStart = left + markL.size();
  const std::string key(right > keyStart ? url->substr(keyStart, right - keyStart)
                                         : std::string_view());
  std::string shortened(url->substr(0, left));
  const std::size_t cutEnd = right + markR.size();
  if (cutEnd < url->size()) shortened.append(url->substr(cutEnd));

  setHeader(pfc, headers, "url", shortened);
  const RequestFacts request = readRestoreFacts(pfc, headers);
  std::string cookieHeader;
  // The stock is consulted with no host call in between.
  if (restoreRequestCookies(filter.cookieStore(), request, key, shortened, cookieHeader) != S_OK)
    return false;
  return setHeader(pfc, headers, "Cookie:", cookieHeader) &&
         setHeader(pfc, headers, settings.cookieStockKeyRaw, key);
}

void onPreprocHeaders(Filter& filter, HTTP_FILTER_CONTEXT* pfc,
                      HTTP_FILTER_PREPROC_HEADERS* headers) {
  if (restoreFromUrl(filter, pfc, headers)) return;
  // The key the application and the end of the request see is only ever the
  // one taken from the URL: a client that sent its own could choose its key
  // and write into another handset's entry.
  const FilterSettings& settings = filter.settings();
  // A value too long to read is cleared all the same.
  if (!hasServerVariable(pfc, settings.cookieStockKey.c_str())) return;
  setHeader(pfc, headers, settings.cookieStockKeyRaw, std::string());
  // Hosts that map "_" like "-" give the twin name the same variable.
  std::string twin = settings.cookieStockKeyRaw;
  std::replace(twin.begin(), twin.end(), '-', '_');
  if (twin != settings.cookieStockKeyRaw) setHeader(pfc, headers, twin, std::string());
}

void destroyContext(HTTP_FILTER_CONTEXT* pfc) {
  auto* context = static_cast<RequestContext*>(pfc->pFilterContext);
  if (!context) return;
  // The host reclaims its memory itself; the context is only ever destroyed.
  context->~RequestContext();
  pfc->pFilterContext = nullptr;
}

// Whether the response is a page the filter converts: a held type with a body.
bool holdsResponse(Filter& filter, HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_SEND_RESPONSE* response) {
  std::array<char, kHostBuffer> buffer;
  const auto value = readHeader(pfc, response->GetHeader, "Content-Type:", buffer);
  if (!value || !text::iequals(ContentType::mediaTypeOf(*value), filter.input().contentType))
    return false;
  // Responses without a body by definition pass untouched: a converted head
  // would announce the length of the error page or of a body never sent.
  return !isFinalWithoutBody(static_cast<int32_t>(response->HttpStatus)) &&
         serverVariableOrEmpty(pfc, "REQUEST_METHOD") != "HEAD";
}

void onSendResponse(Filter& filter, HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_SEND_RESPONSE* response) {
  // A context still here belongs to a response of this request that never
  // reached its end; its captured bytes must not be lost to a leak.
  destroyContext(pfc);
  if (holdsResponse(filter, pfc, response)) {
    void* memory = pfc->AllocMem ? pfc->AllocMem(pfc, sizeof(RequestContext), 0) : nullptr;
    pfc->pFilterContext = memory ? new (memory) RequestContext() : nullptr;
  }
  // Nothing more of a response passed untouched concerns the filter: a host
  // that can skips its blocks and its end.
  if (!pfc->pFilterContext && pfc->ServerSupportFunction)
    pfc->ServerSupportFunction(pfc, SF_REQ_DISABLE_NOTIFICATIONS, nullptr,
                               SF_NOTIFY_SEND_RAW_DATA | SF_NOTIFY_END_OF_REQUEST, 0);
}

// Sends the response made in place of the page, and says why in the log.
void answerRefused(HTTP_FILTER_CONTEXT* pfc, RequestContext& context, HeldResponse& response,
                   ResponseBody& body, const std::string& why) {
  sys::logLine("held response of " + serverVariableOrEmpty(pfc, "URL") + " answered with " +
               std::to_string(response.statusCode) + ": " + why);
  emitResponse(pfc, response, body);
  context.passThrough = false;
}

// Writes the converted page or a 500 response; never throws.
void respond(Filter& filter, HTTP_FILTER_CONTEXT* pfc, RequestContext& context) noexcept {
  context.passThrough = true;
  HeldResponse response;
  ResponseBody body;
  HRESULT failure = S_OK;
  try {
    const HeadProblem problem = parseHeldResponse(context.captured, response, body);
    if (problem != HeadProblem::None) {
      makeBareErrorResponse(response, body, E_NOT_SUFFICIENT_BUFFER);
      return answerRefused(pfc, context, response, body, describe(problem));
    }
    if (!context.captureFailed && isFinalWithoutBody(response.statusCode)) {
      // A host that did not say the status at the head: send what it held.
      writeRaw(pfc, context.captured);
      context.passThrough = false;
      return;
    }
    const FilterSettings& settings = filter.settings();
    const BudgetReservation reservation(filter.conversionBudget(),
                                        context.captured.size() * kConversionBytesPerHeldByte,
                                        std::chrono::milliseconds(settings.conversionWaitMs));
    if (!reservation.granted()) {
      makeBusyResponse(response, body);
      return answerRefused(pfc, context, response, body,
                           "no room in ConversionMemoryMaxMegabytes after " +
                               std::to_string(settings.conversionWaitMs) + " ms");
    }
    const RequestFacts request = readResponseFacts(pfc, settings);
    const HRESULT hr = convertHeld(filter, request, context.captureFailed, response, body);
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
      if (response.version.empty()) response.version = "HTTP/1.1";
      makeErrorResponse(response, body, failure);
      emitResponse(pfc, response, body);
    } catch (...) {
      emitFixedError(pfc);
    }
  }
  context.passThrough = false;
}

// The held bytes outgrew their bound: the client gets the 500 response now,
// made from the head alone, and the memory goes back.
void respondOverLimit(Filter& filter, HTTP_FILTER_CONTEXT* pfc, RequestContext& context) {
  const std::size_t headEnd = context.captured.find("\r\n\r\n");
  if (headEnd != std::string::npos) context.captured.resize(headEnd + 4);
  context.captureFailed = true;
  respond(filter, pfc, context);
  std::string().swap(context.captured);
  context.responded = true;
}

void onSendRawData(Filter& filter, HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_RAW_DATA* raw) {
  auto* context = static_cast<RequestContext*>(pfc->pFilterContext);
  if (!context || context->passThrough) return;
  if (!context->captureFailed && raw->pvInData && raw->cbInData > 0) {
    const std::size_t limit = static_cast<std::size_t>(filter.settings().heldResponseMaxBytes);
    if (context->captured.size() + raw->cbInData > limit) {
      // What fits still completes the head the error response is made of.
      const std::size_t room = limit - std::min(limit, context->captured.size());
      try {
        context->captured.append(static_cast<const char*>(raw->pvInData), room);
      } catch (const std::bad_alloc&) {
      }
      respondOverLimit(filter, pfc, *context);
    } else {
      try {
        context->captured.append(static_cast<const char*>(raw->pvInData), raw->cbInData);
      } catch (const std::bad_alloc&) {
        context->captureFailed = true;
      }
    }
  }
  raw->cbInData = 0;
}

void onEndOfRequest(Filter& filter, HTTP_FILTER_CONTEXT* pfc) {
  auto* context = static_cast<RequestContext*>(pfc->pFilterContext);
  if (!context) return;
  const std::size_t held = context->captured.size();
  if (!context->responded) respond(filter, pfc, *context);
  destroyContext(pfc);
  // A large conversion leaves its peak in the free lists of its thread's
  // arena, where no other thread reuses it: each thread would keep the
  // largest peak it ever had.
  if (held >= kTrimAfterHeldBytes) filter.requestMemoryTrim();
}

}  // namespace

DWORD dispatchNotification(Filter& filter, HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                           void* notification) noexcept {
  if (!pfc) return SF_STATUS_REQ_NEXT_NOTIFICATION;
  try {
    switch (notificationType) {
      case SF_NOTIFY_PREPROC_HEADERS:
        if (notification)
          onPreprocHeaders(filter, pfc, static_cast<HTTP_FILTER_PREPROC_HEADERS*>(notification));
        break;
      case SF_NOTIFY_SEND_RESPONSE:
        if (notification)
          onSendResponse(filter, pfc, static_cast<HTTP_FILTER_SEND_RESPONSE*>(notification));
        break;
      case SF_NOTIFY_SEND_RAW_DATA:
        if (notification)
          onSendRawData(filter, pfc, static_cast<HTTP_FILTER_RAW_DATA*>(notification));
        break;
      case SF_NOTIFY_END_OF_REQUEST:
        onEndOfRequest(filter, pfc);
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
