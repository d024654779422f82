#pragma once
// The conversion driver: the markup steps, and serialisation in the
// profile's dialect, code page and content type.

#include "config/settings.h"
#include "emoji/emoji_table.h"
#include "http/held_response.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer {

// Handler of one conversion step: S_OK with a replacement (the node itself,
// changed in place, or a new node; none means removal in the k-carrier
// step), any other non-negative code leaves the node, negative fails.
using NodeHandler = HRESULT (*)(const OutputCoordinator& profile, dom::Document& document,
                                dom::Node node, dom::Node& replacement);

// Runs the steps on the loaded document and serialises it into body.
[[nodiscard]] HRESULT ConvertDocument(const OutputCoordinator& profile, const EmojiTable& emoji,
                                      HeldResponse& response, ResponseBody& body,
                                      dom::Document& document);

[[nodiscard]] HRESULT SerializeDocument(const OutputCoordinator& profile, HeldResponse& response,
                                        ResponseBody& body, dom::Document& document);

}  // namespace vantomer
