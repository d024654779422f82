#pragma once
// Handset markup conversions, each a NodeHandler.

#include "config/settings.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer {

HRESULT ConvertKCarrier(const OutputCoordinator& profile, dom::Document& document, dom::Node node,
                        dom::Node& replacement);
HRESULT ConvertKMode(const OutputCoordinator& profile, dom::Document& document, dom::Node node,
                     dom::Node& replacement);
HRESULT ConvertMarquee(const OutputCoordinator& profile, dom::Document& document, dom::Node node,
                       dom::Node& replacement);
HRESULT ConvertIStyle(const OutputCoordinator& profile, dom::Document& document, dom::Node node,
                      dom::Node& replacement);

}  // namespace vantomer
