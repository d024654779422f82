#pragma once
// Loading a held TELMARK response into the request's DOM document.

#include "config/settings.h"
#include "http/held_response.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer {

// S_OK: the page parsed, icons inserted; S_FALSE: the error page stands in;
// negative: failure.
[[nodiscard]] HRESULT LoadDocument(const InputCoordinator& input, const HeldResponse& response,
                                   const ResponseBody& body, dom::Document& document);

}  // namespace vantomer
