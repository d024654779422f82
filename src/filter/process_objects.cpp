#include "filter/process_objects.h"

namespace vantomer {
namespace {

// One translation unit, so construction follows declaration order and
// destruction runs in reverse.
EmojiTable gEmojiTable;
CookieStocker gCookieStocker;
InputCoordinator gInputCoordinator;
ProfileList gProfileList;
FilterSettings gFilterSettings;

}  // namespace

EmojiTable& emojiTable() { return gEmojiTable; }
CookieStocker& cookieStocker() { return gCookieStocker; }
InputCoordinator& inputCoordinator() { return gInputCoordinator; }
ProfileList& profileList() { return gProfileList; }
FilterSettings& filterSettings() { return gFilterSettings; }

}  // namespace vantomer
