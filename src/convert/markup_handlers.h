#pragma once
// Handset markup conversions, each a NodeHandler.

#include "config/settings.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer {

[[nodiscard]] HRESULT ConvertKCarrier(const OutputCoordinator& profile, dom::Document& document,
                                      dom::Node node, dom::Node& replacement);
[[nodiscard]] HRESULT ConvertKMode(const OutputCoordinator& profile, dom::Document& document,
                                   dom::Node node, dom::Node& replacement);
[[nodiscard]] HRESULT ConvertMarquee(const OutputCoordinator& profile, dom::Document& document,
                                     dom::Node node, dom::Node& replacement);
[[nodiscard]] HRESULT ConvertIStyle(const OutputCoordinator& profile, dom::Document& document,
                                    dom::Node node, dom::Node& replacement);

}  // namespace vantomer
