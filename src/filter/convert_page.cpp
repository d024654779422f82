#include "filter/convert_page.h"

#include "config/select_profile.h"
#include "convert/convert_document.h"
#include "convert/load_document.h"
#include "cookie/correct_location.h"
#include "cookie/imitate_cookies.h"

namespace vantomer {

HRESULT convertPage(Filter& filter, const OutputCoordinator& profile, const RequestFacts& request,
                    HeldResponse& response, ResponseBody& body, dom::Document& document) {
  HRESULT result = S_OK;
  if (profile.locationCorrect) result = correctLocation(request, response);
  if (succeeded(result) && profile.cookieImitation) {
    result = imitateCookies(filter.settings(), filter.cookieStore(), request, response, document);
  }
  if (failed(result)) return result;
  return ConvertDocument(profile, filter.emojiTable(), response, body, document);
}

HRESULT convertHeld(Filter& filter, const RequestFacts& request, bool captureFailed,
                    HeldResponse& response, ResponseBody& body) {
  if (captureFailed) {
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
  // A head written with bare LF would reach clients framed differently
  // from what we parsed, and unconverted.
  if (dropBareLineFeeds(response)) return E_FAIL;

  const OutputCoordinator* profile = selectProfile(filter.profiles(), request.userAgent);
  if (!profile) return E_FAIL;

  dom::Document document;
  const FilterSettings& settings = filter.settings();
  document.setLimits({static_cast<std::size_t>(settings.conversionMaxAttributes),
                      static_cast<std::size_t>(settings.conversionMaxDepth),
                      static_cast<std::size_t>(settings.conversionMaxNodes)});
  HRESULT hr = LoadDocument(filter.input(), response, body, document);
  if (succeeded(hr)) hr = convertPage(filter, *profile, request, response, body, document);
  return hr;
}

}  // namespace vantomer
