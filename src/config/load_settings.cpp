#include "config/load_settings.h"

#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "config/redis_url.h"
#include "platform/codepage.h"
#include "platform/dom.h"
#include "platform/text.h"

namespace vantomer {
namespace {

std::string hex(HRESULT code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(code));
  return buffer;
}

// Reads settings from one element with the loader's running result: every
// read runs only while the result is not negative, and the first failure
// is described for whoever asked.
class SettingsReader {
 public:
  SettingsReader(std::string* problem, SettingsTrace* trace) : problem_(problem), trace_(trace) {}

  HRESULT result() const { return r_; }
  bool ok() const { return succeeded(r_); }

  // Sets the running result; a failure is described once.
  void fail(HRESULT code, const std::string& where, const std::string& reason) {
    r_ = code;
    if (problem_ && problem_->empty()) *problem_ = where + ": " + reason;
  }
  void set(HRESULT code, const std::string& where) {
    if (failed(code))
      fail(code, where, "the document could not be read (" + hex(code) + ")");
    else
      r_ = code;
  }

  // For the check tool: name was looked for under the element of prefix.
  void looked(const std::string& prefix, std::string_view name, bool many = false) {
    if (!trace_) return;
    const std::string parent = parentOf(prefix);
    for (const SettingsTrace::Name& n : trace_->names)
      if (n.parent == parent && n.name == name) return;
    trace_->names.push_back({parent, std::string(name), many});
  }
  // For the check tool: what a value's text became.
  void noted(const std::string& prefix, std::string_view name, SettingsTrace::Form form,
             const std::string& text, std::string used) {
    if (trace_) trace_->values.push_back({prefix + std::string(name), form, text, std::move(used)});
  }

  // The text of the first child called name, or false when there is none
  // (the result is then 1) or the selection failed.
  bool child(const dom::Node& context, const std::string& prefix, std::string_view name,
             std::string& value) {
    if (!ok()) return false;
    looked(prefix, name);
    dom::Node node;
    set(context.selectSingleNode(name, node), prefix + std::string(name));
    if (!ok() || node.isNull()) return false;
    value = node.text();
    r_ = S_OK;
    return true;
  }

  void readSwitch(const dom::Node& context, const std::string& prefix, std::string_view name,
                  bool& field) {
    std::string value;
    if (!child(context, prefix, name, value)) return;
    field = text::iequals(value, "on");
    noted(prefix, name, SettingsTrace::Form::Switch, value, field ? "on" : "off");
  }

  // Converted to the ANSI code page; the buffer width counts the terminator.
  void readNarrow(const dom::Node& context, const std::string& prefix, std::string_view name,
                  std::size_t width, std::string& field) {
    std::string value;
    if (!child(context, prefix, name, value)) return;
    std::string bytes;
    const HRESULT hr = codepage::encode(0, value, bytes);
    if (failed(hr)) {
      fail(hr, prefix + std::string(name),
           "no conversion to code page " + std::to_string(codepage::ansiCodePage()));
      return;
    }
    if (bytes.size() >= width) {
      fail(E_FAIL, prefix + std::string(name),
           std::to_string(bytes.size()) + " bytes after conversion to code page " +
               std::to_string(codepage::ansiCodePage()) + "; at most " + std::to_string(width - 1) +
               " fit");
      return;
    }
    field = std::move(bytes);
  }

  // Kept as UTF-8; the width counts UTF-16 units and the terminator.
  void readWide(const dom::Node& context, const std::string& prefix, std::string_view name,
                std::size_t width, std::string& field) {
    std::string value;
    if (!child(context, prefix, name, value)) return;
    const std::size_t units = codepage::utf16Length(value);
    if (units >= width) {
      fail(E_FAIL, prefix + std::string(name),
           std::to_string(units) + " UTF-16 units; at most " + std::to_string(width - 1) + " fit");
      return;
    }
    field = std::move(value);
  }

  void readInteger(const dom::Node& context, const std::string& prefix, std::string_view name,
                   int32_t& field) {
    std::string value;
    if (!child(context, prefix, name, value)) return;
    field = text::parseDecimal32(value);
    noted(prefix, name, SettingsTrace::Form::Integer, value, std::to_string(field));
  }

  void readEmojiType(const dom::Node& context, const std::string& prefix, std::string_view name,
                     EmojiType& field) {
    std::string value;
    if (!child(context, prefix, name, value)) return;
    field = parseEmojiType(value);
    noted(prefix, name, SettingsTrace::Form::EmojiType, value, emojiTypeName(field));
  }

  void readTimeout(const dom::Node& context, std::string_view name, int32_t& field) {
    std::string value;
    if (!child(context, "", name, value)) return;
    const int32_t minutes = text::parseDecimal32(value);
    if (minutes < 0) {
      fail(E_FAIL, std::string(name), "negative value " + std::to_string(minutes));
      return;
    }
    // Longer idle times overflow the stock's 32-bit millisecond arithmetic.
    field = minutes > kMaxCookieStockerTimeoutMinutes ? kMaxCookieStockerTimeoutMinutes : minutes;
    noted("", name, SettingsTrace::Form::Integer, value, std::to_string(field));
  }

  // A number that must lie in [low, high]; anything else fails the load.
  void readBounded(const dom::Node& context, std::string_view name, int32_t low, int32_t high,
                   int32_t& field) {
    std::string value;
    if (!child(context, "", name, value)) return;
    const int32_t number = text::parseDecimal32(value);
    if (number < low || number > high) {
      fail(E_FAIL, std::string(name),
           "\"" + value + "\" is not a number from " + std::to_string(low) + " to " +
               std::to_string(high));
      return;
    }
    field = number;
    noted("", name, SettingsTrace::Form::Integer, value, std::to_string(field));
  }

  // Empty means the in-memory stock; anything else must be a Redis URL.
  void readRedisUrl(const dom::Node& context, std::string_view name, std::string& field) {
    std::string url;
    readNarrow(context, "", name, width::CookieStockerRedis, url);
    if (!ok() || result() != S_OK) return;
    RedisAddress address;
    std::string reason;
    if (!url.empty() && !parseRedisUrl(url, address, reason)) {
      fail(E_FAIL, std::string(name), "not a Redis URL: " + reason);
      return;
    }
    field = std::move(url);
  }

  static EmojiType parseEmojiType(std::string_view value) {
    if (text::iequals(value, "Comment")) return EmojiType::Comment;
    if (text::iequals(value, "i-mode")) return EmojiType::IMode;
    if (text::iequals(value, "EZweb")) return EmojiType::EZweb;
    if (text::iequals(value, "J-SKY")) return EmojiType::JSky;
    return EmojiType::Image;
  }

  // "NewOutputCoordinator[2]/" -> "NewOutputCoordinator".
  static std::string parentOf(const std::string& prefix) {
    std::string parent;
    bool inIndex = false;
    for (const char c : prefix) {
      if (c == '[') inIndex = true;
      if (!inIndex) parent += c;
      if (c == ']') inIndex = false;
    }
    if (!parent.empty() && parent.back() == '/') parent.pop_back();
    return parent;
  }

 private:
  std::string* problem_;
  SettingsTrace* trace_;
  HRESULT r_ = S_OK;
};

std::string indexed(std::string_view name, std::size_t index) {
  return std::string(name) + "[" + std::to_string(index + 1) + "]/";
}

void readConversionBounds(SettingsReader& reader, const dom::Node& root, FilterSettings& s) {
  reader.readBounded(root, "ConversionMaxAttributes", 1, kMaxConversionCap,
                     s.conversionMaxAttributes);
  // The parser itself refuses deeper documents.
  reader.readBounded(root, "ConversionMaxDepth", 1, 256, s.conversionMaxDepth);
  reader.readBounded(root, "ConversionMaxNodes", 1, kMaxConversionCap, s.conversionMaxNodes);
  reader.readBounded(root, "ConversionMemoryMaxMegabytes", 1, kMaxConversionMemoryMegabytes,
                     s.conversionMemoryMaxMegabytes);
  reader.readBounded(root, "ConversionWaitMs", 0, kMaxConversionWaitMs, s.conversionWaitMs);
}

void readServerWide(SettingsReader& reader, const dom::Node& root, SettingsTargets& t) {
  FilterSettings& s = t.settings;
  reader.readSwitch(root, "", "LocationCorrect", s.locationCorrect);
  reader.readNarrow(root, "", "LocationCorrectBasePathSVName", width::LocationCorrectBasePathSVName,
                    s.locationCorrectBasePathSVName);
  reader.readSwitch(root, "", "CookieImitation", s.cookieImitation);
  reader.readNarrow(root, "", "CookieStockKey", width::CookieStockKey, s.cookieStockKey);
  reader.readNarrow(root, "", "CookieStockKeyRaw", width::CookieStockKeyRaw, s.cookieStockKeyRaw);
  reader.readNarrow(root, "", "CookiePaddingMarkL", width::CookiePaddingMark, s.cookiePaddingMarkL);
  reader.readNarrow(root, "", "CookiePaddingMarkR", width::CookiePaddingMark, s.cookiePaddingMarkR);
  reader.readTimeout(root, "CookieStockerTimeoutMinutes", t.cookieStockerTimeoutMinutes);
  reader.readBounded(root, "CookieStockerMaxMegabytes", 1, kMaxCookieStockerMaxMegabytes,
                     s.cookieStockerMaxMegabytes);
  reader.readRedisUrl(root, "CookieStockerRedis", s.cookieStockerRedis);
  reader.readNarrow(root, "", "CookieStockerRedisPrefix", width::CookieStockerRedisPrefix,
                    s.cookieStockerRedisPrefix);
  reader.readBounded(root, "CookieStockerRedisTimeoutMs", 1, kMaxCookieStockerRedisTimeoutMs,
                     s.cookieStockerRedisTimeoutMs);
  reader.readSwitch(root, "", "CookieStockerRenewKey", s.cookieStockerRenewKey);
  reader.readBounded(root, "HeldResponseMaxBytes", 1, std::numeric_limits<int32_t>::max(),
                     s.heldResponseMaxBytes);
  readConversionBounds(reader, root, s);
}

void readIcons(SettingsReader& reader, const dom::Node& coordinator, const std::string& prefix,
               InputCoordinator& input) {
  dom::Node group;
  const std::string groupPath = prefix + "AddAccesskeyIcon";
  reader.looked(prefix, "AddAccesskeyIcon");
  reader.looked(groupPath + "/", "Icon", true);
  reader.set(coordinator.selectSingleNode("AddAccesskeyIcon", group), groupPath);
  if (!reader.ok() || group.isNull()) return;
  std::vector<dom::Node> icons;
  reader.set(group.selectNodes("Icon", icons), groupPath + "/Icon");
  for (std::size_t i = 0; i < icons.size() && reader.ok(); ++i) {
    const std::string where = groupPath + "/" + indexed("Icon", i);
    const dom::Node& icon = icons[i];
    std::string key;
    reader.set(icon.getAttribute("key", key), where + "@key");
    if (!reader.ok() || reader.result() != S_OK) continue;  // no key: skipped
    std::string emoji;
    std::string text;
    const HRESULT hasEmoji = icon.getAttribute("emoji", emoji);
    reader.set(hasEmoji, where + "@emoji");
    if (!reader.ok()) break;
    const HRESULT hasText = icon.getAttribute("text", text);
    reader.set(hasText, where + "@text");
    if (!reader.ok()) break;
    AccesskeyIcon entry;
    if (hasEmoji == S_OK)
      entry.emoji = std::move(emoji);
    else if (hasText == S_OK)
      entry.text = std::move(text);
    input.accesskeyIcons.insert_or_assign(std::move(key), std::move(entry));
  }
}

void readInput(SettingsReader& reader, const dom::Node& root, InputCoordinator& input) {
  std::vector<dom::Node> coordinators;
  reader.looked("", "InputCoordinator", true);
  reader.set(root.selectNodes("InputCoordinator", coordinators), "InputCoordinator");
  for (std::size_t i = 0; i < coordinators.size() && reader.ok(); ++i) {
    const dom::Node& c = coordinators[i];
    const std::string prefix = indexed("InputCoordinator", i);
    reader.readNarrow(c, prefix, "ContentType", width::InputContentType, input.contentType);
    reader.readWide(c, prefix, "DOCTYPE", width::DOCTYPE, input.docType);
    reader.readWide(c, prefix, "ErrorSource", width::ErrorSource, input.errorSource);
    if (reader.ok()) readIcons(reader, c, prefix, input);
  }
}

void readProfiles(SettingsReader& reader, const dom::Node& root, const FilterSettings& settings,
                  ProfileList& profiles) {
  std::vector<dom::Node> elements;
  reader.looked("", "NewOutputCoordinator", true);
  reader.set(root.selectNodes("NewOutputCoordinator", elements), "NewOutputCoordinator");
  for (std::size_t i = 0; i < elements.size() && reader.ok(); ++i) {
    const dom::Node& e = elements[i];
    const std::string prefix = indexed("NewOutputCoordinator", i);
    auto profile = std::make_unique<OutputCoordinator>();
    OutputCoordinator& p = *profile;
    p.locationCorrect = settings.locationCorrect;
    p.cookieImitation = settings.cookieImitation;
    reader.readNarrow(e, prefix, "UAPattern", width::UAPattern, p.uaPattern);
    reader.readEmojiType(e, prefix, "EmojiType", p.emojiType);
    reader.readWide(e, prefix, "EmojiImgSrc", width::EmojiImgSrc, p.emojiImgSrc);
    reader.readInteger(e, prefix, "CodePage", p.codePage);
    reader.readNarrow(e, prefix, "Charset", width::Charset, p.charset);
    reader.readNarrow(e, prefix, "XMLDeclaration", width::XMLDeclaration, p.xmlDeclaration);
    reader.readNarrow(e, prefix, "XMLDTD", width::XMLDTD, p.xmlDtd);
    reader.readNarrow(e, prefix, "ContentType", width::OutputContentType, p.contentType);
    reader.readSwitch(e, prefix, "HTMLMode", p.htmlMode);
    reader.readSwitch(e, prefix, "LocationCorrect", p.locationCorrect);
    reader.readSwitch(e, prefix, "CookieImitation", p.cookieImitation);
    reader.readSwitch(e, prefix, "iXHTML", p.iXHTML);
    // Also a profile whose reading failed belongs to the list.
    profiles.push_back(std::move(profile));
  }
}

}  // namespace

HRESULT loadSettings(const std::string& path, SettingsTargets targets, std::string* problem,
                     SettingsTrace* trace) {
  if (problem) problem->clear();
  try {
    dom::initialize();
    dom::Document document;
    HRESULT hr = document.load(path);
    if (hr != S_OK) {
      if (failed(hr) && problem) *problem = "the file could not be read (" + hex(hr) + ")";
      return failed(hr) ? hr : S_FALSE;
    }
    dom::Node root;
    hr = document.documentElement(root);
    if (failed(hr) || root.isNull()) {
      if (failed(hr) && problem) *problem = "no root element (" + hex(hr) + ")";
      return failed(hr) ? hr : S_FALSE;
    }

    SettingsReader reader(problem, trace);
    readServerWide(reader, root, targets);
    if (reader.ok()) readInput(reader, root, targets.input);
    if (reader.ok()) readProfiles(reader, root, targets.settings, targets.profiles);
    return reader.result();
  } catch (const std::bad_alloc&) {
    if (problem) *problem = "out of memory";
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    if (problem) *problem = e.what();
    return E_FAIL;
  }
}

}  // namespace vantomer
