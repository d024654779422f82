#pragma once
// Helpers for tests that load and convert TELMARK pages in-process.

#include <memory>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "emoji/emoji_table.h"
#include "http/held_response.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer::test {

// A profile with the defaults but no location correction or cookie
// imitation, so that no host is needed.
std::unique_ptr<OutputCoordinator> offlineProfile(EmojiType emojiType = EmojiType::Comment);

// A held response of "text/x-telmark; charset=UTF-8" with the body.
void telmarkResponse(std::string_view body, HeldResponse& response, ResponseBody& held);

struct Converted {
  HRESULT loaded = E_FAIL;     // LoadDocument's result
  HRESULT converted = E_FAIL;  // ConvertDocument's result
  HeldResponse response;
  ResponseBody body;
};

// Loads the UTF-8 page with the input settings and converts it for the
// profile with the emoji table (none: an empty one); the document stays
// available to the caller.
Converted convertPage(const OutputCoordinator& profile, std::string_view page,
                      dom::Document& document, const InputCoordinator& input = InputCoordinator{},
                      const EmojiTable* emoji = nullptr);

// The same with a document of its own.
Converted convertPage(const OutputCoordinator& profile, std::string_view page,
                      const EmojiTable* emoji = nullptr);

// A fresh directory under the system's temporary directory, removed with
// the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // Writes the file and returns its full path.
  std::string write(std::string_view name, std::string_view content) const;

 private:
  std::string path_;
};

}  // namespace vantomer::test
