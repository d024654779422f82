#include "support/telmark.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "convert/convert_document.h"
#include "convert/load_document.h"

namespace vantomer::test {

std::unique_ptr<OutputCoordinator> offlineProfile(EmojiType emojiType) {
  auto profile = std::make_unique<OutputCoordinator>();
  profile->emojiType = emojiType;
  profile->locationCorrect = false;
  profile->cookieImitation = false;
  return profile;
}

void telmarkResponse(std::string_view body, HeldResponse& response, ResponseBody& held) {
  response = HeldResponse{};
  response.version = "HTTP/1.1";
  response.statusCode = 200;
  response.reasonPhrase = "OK";
  response.headers.emplace("Content-Type", "text/x-telmark; charset=UTF-8");
  held.assign(body);
}

Converted convertPage(const OutputCoordinator& profile, std::string_view page,
                      dom::Document& document, const InputCoordinator& input,
                      const EmojiTable* emoji) {
  static const EmojiTable kNoEmoji;
  Converted out;
  telmarkResponse(page, out.response, out.body);
  out.loaded = LoadDocument(input, out.response, out.body, document);
  if (succeeded(out.loaded)) {
    out.converted =
        ConvertDocument(profile, emoji ? *emoji : kNoEmoji, out.response, out.body, document);
  }
  return out;
}

Converted convertPage(const OutputCoordinator& profile, std::string_view page,
                      const EmojiTable* emoji) {
  dom::Document document;
  return convertPage(profile, page, document, InputCoordinator{}, emoji);
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vantomer-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::write(std::string_view name, std::string_view content) const {
  const std::string file = (std::filesystem::path(path_) / name).string();
  std::ofstream out(file, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return file;
}

}  // namespace vantomer::test
