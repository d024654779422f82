#pragma once
// The module's process-wide objects, constructed at load in this order:
// EmojiTable, CookieStocker, InputCoordinator, ProfileList; FilterSettings
// holds its defaults from the start.

#include "config/settings.h"
#include "cookie/cookie_stocker.h"
#include "emoji/emoji_table.h"

namespace vantomer {

EmojiTable& emojiTable();
CookieStocker& cookieStocker();
InputCoordinator& inputCoordinator();
ProfileList& profileList();
FilterSettings& filterSettings();

}  // namespace vantomer
