// The preview's second look at a page, with the filter's own loaders and
// conversion: the handset's bytes say what arrived, not what went missing.

#include "commands/preview_analysis.h"

#include <boost/regex.hpp>
#include <cstring>
#include <set>

#include "config/load_settings.h"
#include "config/select_profile.h"
#include "convert/convert_document.h"
#include "convert/load_document.h"
#include "emoji/emoji_table.h"
#include "http/content_type.h"
#include "http/held_response.h"
#include "platform/codepage.h"
#include "platform/dom.h"

namespace vantomer::host {

struct PreviewSettings::Records {
  FilterSettings settings;
  InputCoordinator input;
  ProfileList profiles;
  int32_t timeoutMinutes = 60;
  EmojiTable emoji;
};

namespace {

// Stands in for EmojiImgSrc in the second conversion: whatever carries it
// became an image because the table had no text for the family.
constexpr std::string_view kMissing = "vantomer-preview-missing/";
constexpr std::size_t kMostListed = 12;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// One UTF-8 character at pos (a stray byte alone).
std::size_t characterLength(std::string_view text, std::size_t pos) {
  const unsigned char c = static_cast<unsigned char>(text[pos]);
  std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return std::min(n, text.size() - pos);
}

std::string codePoint(std::string_view character) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(character.data());
  unsigned value = p[0];
  if (character.size() == 2) value = ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
  if (character.size() == 3) value = ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
  if (character.size() == 4)
    value = ((p[0] & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", value);
  return buffer;
}

std::string joinNumbers(const std::set<int>& numbers) {
  std::string out;
  std::size_t listed = 0;
  for (int n : numbers) {
    if (listed++ == kMostListed)
      return out + " and " + std::to_string(numbers.size() - kMostListed) + " more";
    out += (out.empty() ? "" : ", ") + std::to_string(n);
  }
  return out;
}

// The body's code page as the filter settles it: only these two names count.
int sourceCodePage(const HeldResponse& response) {
  auto header = findHeader(response.headers, "Content-Type");
  if (header == response.headers.end()) return 0;
  ContentType type;
  type.parse(header->second);
  auto charset = type.parameters.find("charset");
  if (charset == type.parameters.end()) return 0;
  if (text::iequals(charset->second, "Shift_JIS")) return 932;
  if (text::iequals(charset->second, "UTF-8")) return 65001;
  return 0;
}

// The page's own bytes: whether they decode and parse as the filter reads them.
void checkSource(const InputCoordinator& input, const HeldResponse& response,
                 const ResponseBody& body, std::vector<PreviewWarning>& out) {
  const void* nul = std::memchr(body.data(), '\0', body.size());
  const std::size_t length = nul ? static_cast<const char*>(nul) - body.data() : body.size();
  std::string source = input.docType;
  const int codePage = sourceCodePage(response);
  if (failed(codepage::decodeAppend(codePage, body.substr(0, length), source))) return;
  std::size_t invalid = 0;
  for (std::size_t at = source.find(kReplacement); at != std::string::npos;
       at = source.find(kReplacement, at + 1))
    ++invalid;
  if (invalid)
    out.push_back({"loss", "the page is not text of code page " +
                               std::to_string(codepage::resolve(codePage)) +
                               (codePage ? std::string()
                                         : " (its Content-Type names neither charset=UTF-8 nor "
                                           "charset=Shift_JIS)") +
                               ": " + std::to_string(invalid) + " characters became U+FFFD"});
  dom::Document document;
  document.setPreserveWhiteSpace(true);
  if (document.loadXML(source) != S_FALSE) return;
  const dom::ParseError& e = document.parseError();
  out.push_back({"parse", "the page does not parse (line " + std::to_string(e.line) + ": " +
                              e.reason + "); the handset receives the error page"});
}

void checkLosses(std::string_view converted, int codePage, std::vector<PreviewWarning>& out) {
  std::map<std::string, std::size_t> seen;
  for (std::size_t pos = 0; pos < converted.size();) {
    const std::size_t n = characterLength(converted, pos);
    if (n > 1 && converted.substr(pos, n) != kReplacement)
      ++seen[std::string(converted.substr(pos, n))];
    pos += n;
  }
  std::size_t listed = 0;
  std::size_t more = 0;
  for (const auto& [character, count] : seen) {
    std::string bytes;
    std::string back;
    if (failed(codepage::encode(codePage, character, bytes)) ||
        failed(codepage::decode(codePage, bytes, back)) || back == character)
      continue;
    if (listed == kMostListed) {
      ++more;
      continue;
    }
    ++listed;
    out.push_back({"loss", "\"" + character + "\" (" + codePoint(character) + ", " +
                               std::to_string(count) + "\u00d7) is not in code page " +
                               std::to_string(codePage) + " and came out as \"" + back + "\""});
  }
  if (more)
    out.push_back({"loss", std::to_string(more) + " more characters are not in code page " +
                               std::to_string(codePage)});
}

void checkEmoji(std::string_view converted, const OutputCoordinator& profile,
                const EmojiTable& emoji, std::vector<PreviewWarning>& out) {
  std::set<int> asImage;
  for (std::size_t pos = converted.find(kMissing); pos != std::string_view::npos;
       pos = converted.find(kMissing, pos + 1)) {
    std::size_t end = pos + kMissing.size();
    while (end < converted.size() &&
           (std::isdigit(static_cast<unsigned char>(converted[end])) || converted[end] == '-'))
      ++end;
    asImage.insert(
        text::parseDecimal32(converted.substr(pos + kMissing.size(), end - pos - kMissing.size())));
  }
  std::set<int> unknown;
  for (int n : asImage) {
    bool any = false;
    for (int t = 1; t <= 4; ++t) any = any || emoji.lookup(static_cast<EmojiType>(t), n);
    if (!any) unknown.insert(n);
  }
  if (!unknown.empty())
    out.push_back({"emoji", "emoji " + joinNumbers(unknown) +
                                (unknown.size() == 1 ? " is" : " are") +
                                " in no family of Emoji.setting (a wrong number?)"});
  for (int n : unknown) asImage.erase(n);
  if (profile.emojiType == EmojiType::Image || asImage.empty()) return;
  out.push_back({"emoji", std::string("Emoji.setting has no ") + emojiTypeName(profile.emojiType) +
                              " text for emoji " + joinNumbers(asImage) +
                              ": sent as images of EmojiImgSrc \"" + profile.emojiImgSrc + "\""});
}

}  // namespace

PreviewSettings::PreviewSettings() : records_(std::make_unique<Records>()) {}
PreviewSettings::~PreviewSettings() = default;

std::unique_ptr<PreviewSettings> PreviewSettings::load(const std::string& directory,
                                                       std::string& error) {
  dom::initialize();
  std::unique_ptr<PreviewSettings> s(new PreviewSettings());
  Records& r = *s->records_;
  std::string problem;
  const std::string settingsPath = directory + "/Vantomer.setting";
  if (failed(loadSettings(settingsPath,
                          SettingsTargets{r.settings, r.input, r.profiles, r.timeoutMinutes},
                          &problem))) {
    error = settingsPath + ": " + (problem.empty() ? "does not load" : problem);
    return nullptr;
  }
  const std::string emojiPath = directory + "/Emoji.setting";
  if (failed(r.emoji.load(emojiPath))) {
    error = emojiPath + ": does not load";
    return nullptr;
  }
  s->markLeft_ = r.settings.cookiePaddingMarkL;
  s->markRight_ = r.settings.cookiePaddingMarkR;

  // The table keeps no listing: its file is read again for the numbers, and
  // each text is taken only where the filter's table holds it.
  dom::Document table;
  dom::Node root;
  std::vector<dom::Node> maps;
  if (table.load(emojiPath) == S_OK && table.documentElement(root) == S_OK &&
      succeeded(root.selectNodes("map", maps))) {
    static const char* const kFamilies[] = {"i-mode", "EZweb", "J-SKY"};
    for (const dom::Node& map : maps) {
      std::string value;
      if (map.getAttribute("num", value) != S_OK) continue;
      const int32_t n = text::parseDecimal32(value);
      for (int f = 0; f < 3; ++f) {
        const std::string* known = r.emoji.lookup(static_cast<EmojiType>(f + 2), n);
        if (n > 0 && known && map.getAttribute(kFamilies[f], value) == S_OK && value == *known)
          s->reverse_[f].emplace(value, n);
      }
    }
  }
  return s;
}

ProfileChoice PreviewSettings::choose(const std::string& userAgent) const {
  ProfileChoice choice;
  const ProfileList& profiles = records_->profiles;
  choice.count = profiles.size();
  const OutputCoordinator* chosen = selectProfile(profiles, userAgent);
  for (std::size_t i = 0; i < profiles.size(); ++i) {
    const OutputCoordinator& p = *profiles[i];
    if (&p != chosen) {
      try {
        boost::regex check(p.uaPattern);
      } catch (const std::exception&) {
        choice.brokenBefore.push_back(i + 1);
      }
      continue;
    }
    choice.found = true;
    choice.index = i + 1;
    choice.pattern = p.uaPattern;
    choice.family = emojiTypeName(p.emojiType);
    choice.emojiType = static_cast<int>(p.emojiType);
    choice.codePage = p.codePage;
    choice.charset = p.charset;
    choice.contentType = p.contentType;
    break;
  }
  if (!choice.found) choice.brokenBefore.clear();
  return choice;
}

const std::string& PreviewSettings::inputContentType() const { return records_->input.contentType; }

int PreviewSettings::emojiNumber(int emojiType, std::string_view text) const {
  if (emojiType < 2 || emojiType > 4) return 0;
  const auto& reverse = reverse_[emojiType - 2];
  auto it = reverse.find(std::string(text));
  return it == reverse.end() ? 0 : it->second;
}

std::string PreviewSettings::emojiComment(int number) const {
  const std::string* text = records_->emoji.lookup(EmojiType::Comment, number);
  return text ? *text : std::string();
}

std::vector<std::string> PreviewSettings::imageTemplates() const {
  std::vector<std::string> out;
  for (const auto& p : records_->profiles)
    if (p->emojiImgSrc.find("%num%") != std::string::npos) out.push_back(p->emojiImgSrc);
  return out;
}

bool PreviewSettings::convertible(std::string_view raw) const {
  HeldResponse held;
  ResponseBody body;
  parseHeldResponse(raw, held, body);
  auto header = findHeader(held.headers, "Content-Type");
  if (header == held.headers.end()) return false;
  ContentType type;
  type.parse(header->second);
  return text::iequals(type.mediaType, records_->input.contentType);
}

std::vector<PreviewWarning> PreviewSettings::examine(const ProfileChoice& choice,
                                                     std::string_view raw) const {
  std::vector<PreviewWarning> out;
  if (!choice.found || !convertible(raw)) return out;
  HeldResponse held;
  ResponseBody body;
  parseHeldResponse(raw, held, body);
  checkSource(records_->input, held, body, out);

  // The same conversion in UTF-8, without the stock and Location work.
  const OutputCoordinator& real = *records_->profiles[choice.index - 1];
  OutputCoordinator shadow;
  shadow.emojiType = real.emojiType;
  shadow.emojiImgSrc = std::string(kMissing) + "%num%";
  shadow.iXHTML = real.iXHTML;
  shadow.locationCorrect = false;
  shadow.cookieImitation = false;
  dom::Document document;
  ResponseBody converted;
  if (failed(LoadDocument(records_->input, held, body, document)) ||
      failed(ConvertDocument(shadow, records_->emoji, held, converted, document)))
    return out;
  if (codepage::isKnown(real.codePage)) checkLosses(converted, real.codePage, out);
  checkEmoji(converted, real, records_->emoji, out);
  return out;
}

bool PreviewSettings::decode(int codePage, std::string_view bytes, std::string& utf8) {
  return succeeded(codepage::decode(codePage, bytes, utf8));
}

int PreviewSettings::codePageOf(std::string_view charset) {
  static const std::pair<const char*, int> kNames[] = {
      {"Shift_JIS", 932},    {"Windows-31J", 932}, {"CP932", 932},         {"SJIS", 932},
      {"UTF-8", 65001},      {"EUC-JP", 51932},    {"ISO-2022-JP", 50220}, {"US-ASCII", 20127},
      {"ISO-8859-1", 28591}, {"UTF-16LE", 1200},   {"UTF-16BE", 1201}};
  for (const auto& [name, number] : kNames)
    if (text::iequals(charset, name)) return number;
  return 0;
}

}  // namespace vantomer::host
