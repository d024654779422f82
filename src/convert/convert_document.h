#pragma once
// The conversion driver: header and link work, the markup steps, and
// serialisation in the profile's dialect, code page and content type.

#include "config/settings.h"
#include "filter/held_response.h"
#include "platform/dom.h"
#include "platform/hresult.h"
#include "vantomer/httpfilt.h"

namespace vantomer {

// Handler of one conversion step: S_OK with a replacement (the node itself,
// changed in place, or a new node; none means removal in the k-carrier
// step), any other non-negative code leaves the node, negative fails.
using NodeHandler = HRESULT (*)(const OutputCoordinator& profile, dom::Document& document,
                                dom::Node node, dom::Node& replacement);

HRESULT ConvertDocument(const OutputCoordinator& profile, HTTP_FILTER_CONTEXT* pfc,
                        HeldResponse& response, ResponseBody& body, dom::Document& document);

HRESULT SerializeDocument(const OutputCoordinator& profile, HeldResponse& response,
                          ResponseBody& body, dom::Document& document);

}  // namespace vantomer
