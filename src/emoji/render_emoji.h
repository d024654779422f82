#pragma once
// Rendering of k-emoji elements for a profile.

#include "config/settings.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer {

class EmojiTable;

// The NodeHandler of the k-emoji step: S_OK with the replacement node,
// S_FALSE (no node) when the element has no num, negative on failure.
[[nodiscard]] HRESULT renderEmoji(const OutputCoordinator& profile, const EmojiTable& table,
                                  dom::Document& document, dom::Node element,
                                  dom::Node& replacement);

}  // namespace vantomer
