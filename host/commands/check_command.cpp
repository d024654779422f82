// Reads the settings and emoji files beside a module as the filter does, and
// tells what keeps the filter from loading or will fail at request time.

#include "commands/check_command.h"

#include <sys/stat.h>

#include <boost/regex.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "binding/filter_module.h"
#include "commands/check_report.h"
#include "commands/command_line.h"
#include "commands/module_path.h"
#include "commands/setting_warnings.h"
#include "config/load_settings.h"
#include "config/redis_url.h"
#include "config/select_profile.h"
#include "cookie/redis_connection.h"
#include "emoji/emoji_table.h"
#include "platform/codepage.h"
#include "platform/dom.h"

namespace vantomer::host {

const char* const kCheckHelp =
    "Usage: vantomer check [--module PATH] [--strict] [--verbose] [--ua USER-AGENT]...\n"
    "\n"
    "Reads Vantomer.setting and Emoji.setting from the module's directory the way\n"
    "the filter reads them when it loads, and reports, with file, element and\n"
    "reason, what makes the load fail (errors) and what would go wrong at request\n"
    "time (warnings). Errors: a module file that is missing or no filter module,\n"
    "texts too long, numbers out of range. Warnings: element names the filter does\n"
    "not read (with the closest it does), later copies of a setting it reads once,\n"
    "numbers that do not read whole and switches neither on nor off (with what the\n"
    "filter uses instead), User-Agent patterns that are no regular expression, code\n"
    "pages without a converter, emoji image addresses without %num%, profiles\n"
    "hidden behind a catch-all pattern, missing or malformed files, a Redis for\n"
    "the cookie stock that does not answer PING. Settings without any output\n"
    "profile are an error: the filter would answer every TELMARK page with 500.\n"
    "\n"
    "Options:\n"
    "  --module PATH      the filter module (default: vantomer.so beside this program)\n"
    "  --strict           every warning is an error (for deployment scripts)\n"
    "  --verbose          also say which profile each sample User-Agent gets\n"
    "  --ua USER-AGENT    a User-Agent to show the profile of (repeatable; implies\n"
    "                     --verbose and replaces the samples in that listing)\n"
    "  -h, --help         this text\n"
    "\n"
    "Exit status: 0 when the filter loads with these files and can convert pages\n"
    "(and, with --strict, nothing is to be warned about), 1 otherwise.\n";

namespace {

// Agents a catch-all pattern is expected to match: one per handset family
// and a desktop browser.
const char* const kSampleAgents[] = {
    "DoCoMo/2.0 P903i(c100;TB;W24H12)",
    "KDDI-SA31 UP.Browser/6.2.0.7.3.129 (GUI) MMP/2.0",
    "SoftBank/1.0/910T/TJ001/SN123456789012345 Browser/NetFront/3.3 Profile/MIDP-2.0 "
    "Configuration/CLDC-1.1",
    "Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/17.1 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Mobile Safari/537.36",
};

// Which profile each User-Agent gets, as the filter chooses it.
void listChoices(const ProfileList& profiles, const std::vector<std::string>& agents) {
  std::cout << "Profiles chosen by User-Agent:\n";
  for (const std::string& agent : agents) {
    const OutputCoordinator* chosen = selectProfile(profiles, agent);
    std::cout << "  \"" << agent << "\"\n    -> ";
    if (!chosen) {
      std::cout << "no profile: every TELMARK page is answered with 500\n";
      continue;
    }
    std::size_t index = 0;
    while (index < profiles.size() && profiles[index].get() != chosen) ++index;
    std::cout << "NewOutputCoordinator[" << index + 1 << "] (UAPattern \"" << chosen->uaPattern
              << "\", " << chosen->contentType << "; charset=" << chosen->charset << ")\n";
  }
}

using Report = CheckReport;

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Settings are worth nothing without a module that the hosts can load.
bool checkModule(Report& report, const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    report.error(path, std::string("no such file (") + std::strerror(errno) +
                           "); serve and convert cannot load the filter");
    return false;
  }
  std::string error;
  if (!S_ISREG(st.st_mode)) {
    error = "not a file";
  } else if (FilterModule::open(path, error)) {
    return true;
  }
  report.error(path,
               "not a filter module with GetFilterVersion, HttpFilterProc and "
               "TerminateFilter (" +
                   error + "); serve and convert cannot load it");
  return false;
}

// Missing and malformed files make the filter run on defaults: say which.
bool checkReadable(Report& report, const std::string& name, const std::string& path,
                   const std::string& consequence) {
  if (!exists(path)) {
    report.warning(name, "missing (" + path + "); " + consequence);
    return false;
  }
  dom::Document document;
  if (document.load(path) == S_OK) return true;
  const dom::ParseError& e = document.parseError();
  std::string why = e.reason.empty() ? std::string("cannot be read") : e.reason;
  if (e.line > 0) why = "line " + std::to_string(e.line) + ": " + why;
  report.warning(name, "not well-formed XML or unreadable (" + why + "); " + consequence);
  return false;
}

struct Pattern {
  bool valid = false;
  std::string error;
  boost::regex regex;
};

Pattern compile(const std::string& text) {
  Pattern p;
  try {
    p.regex = boost::regex(text);
    p.valid = true;
  } catch (const std::exception& e) {
    p.error = e.what();
  }
  return p;
}

bool matches(const Pattern& p, const std::string& agent) {
  if (!p.valid) return false;
  try {
    return boost::regex_match(agent, p.regex);
  } catch (const std::exception&) {
    return false;
  }
}

bool matchesEverything(const std::string& text, const Pattern& p) {
  if (text == ".*") return true;
  if (!matches(p, "")) return false;
  for (const char* agent : kSampleAgents)
    if (!matches(p, agent)) return false;
  return true;
}

// Whether the table gives the family any text at all (the table has no
// listing of its own, so the numbers in use are probed).
bool familyHasTexts(const EmojiTable& table, EmojiType type) {
  for (int32_t n = 1; n <= 10000; ++n)
    if (table.lookup(type, n)) return true;
  return false;
}

void checkProfiles(Report& report, const ProfileList& profiles, const InputCoordinator& input,
                   const EmojiTable& emoji) {
  const std::string file = "Vantomer.setting";
  if (profiles.empty()) {
    report.error(file,
                 "no NewOutputCoordinator: no profile can be chosen, so every TELMARK page "
                 "is answered with 500");
    return;
  }
  std::vector<Pattern> patterns;
  for (const auto& p : profiles) patterns.push_back(compile(p->uaPattern));

  for (std::size_t i = 0; i < profiles.size(); ++i) {
    const OutputCoordinator& p = *profiles[i];
    const std::string where =
        "NewOutputCoordinator[" + std::to_string(i + 1) + "] (UAPattern \"" + p.uaPattern + "\")";
    if (!patterns[i].valid)
      report.warning(file, where + ": UAPattern is not a valid regular expression (" +
                               patterns[i].error + "); the profile is never chosen");
    if (!codepage::isKnown(p.codePage))
      report.warning(file, where + ": CodePage " + std::to_string(p.codePage) +
                               " has no converter; every page for this profile is answered "
                               "with 500");

    if (p.emojiImgSrc.find("%num%") == std::string::npos) {
      std::string need;
      if (p.emojiType == EmojiType::Image) {
        need = "EmojiType Image writes every emoji as an image";
      } else if (!familyHasTexts(emoji, p.emojiType)) {
        need = std::string("the emoji table has no ") + emojiTypeName(p.emojiType) +
               " texts, so every emoji needs an image";
      } else {
        for (const auto& [key, icon] : input.accesskeyIcons) {
          if (icon.emoji.empty()) continue;
          const int32_t n = static_cast<int32_t>(std::strtol(icon.emoji.c_str(), nullptr, 10));
          if (!emoji.lookup(p.emojiType, n)) {
            need = "the accesskey icon of key \"" + key + "\" (emoji " + icon.emoji + ") has no " +
                   emojiTypeName(p.emojiType) + " text and needs an image";
            break;
          }
        }
      }
      if (!need.empty())
        report.warning(file, where + ": EmojiImgSrc \"" + p.emojiImgSrc +
                                 "\" has no \"%num%\", but " + need +
                                 "; such emoji stay unconverted <k-emoji> elements");
    }

    for (std::size_t j = 0; j < i; ++j) {
      if (matchesEverything(profiles[j]->uaPattern, patterns[j])) {
        report.warning(file, where + ": never chosen: NewOutputCoordinator[" +
                                 std::to_string(j + 1) + "] before it (UAPattern \"" +
                                 profiles[j]->uaPattern + "\") matches every User-Agent");
        break;
      }
    }
  }

  for (const char* agent : kSampleAgents) {
    bool any = false;
    for (const Pattern& p : patterns) any = any || matches(p, agent);
    if (!any)
      report.warning(file, std::string("no profile matches the User-Agent \"") + agent +
                               "\"; such clients get 500 for every TELMARK page");
  }
}

}  // namespace

int checkCommand(std::vector<std::string> args) {
  std::string modulePath = defaultModulePath();
  bool verbose = false;
  bool strict = false;
  std::vector<std::string> agents;
  CommandLine cl(std::move(args));
  while (cl.more() && !cl.failed()) {
    if (cl.flag("--help") || cl.flag("-h")) {
      std::cout << kCheckHelp;
      return 0;
    }
    if (cl.value("--module", modulePath)) continue;
    if (cl.flag("--verbose") || cl.flag("-v")) {
      verbose = true;
      continue;
    }
    if (cl.flag("--strict")) {
      strict = true;
      continue;
    }
    std::string agent;
    if (cl.value("--ua", agent)) {
      agents.push_back(std::move(agent));
      verbose = true;
      continue;
    }
    cl.fail("unknown argument '" + cl.peek() + "'");
  }
  if (cl.failed()) {
    std::cerr << "vantomer check: " << cl.error() << "\n(see vantomer check --help)\n";
    return 2;
  }

  const std::size_t slash = modulePath.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : modulePath.substr(0, slash);
  const std::string settingsPath = directory + "/Vantomer.setting";
  const std::string emojiPath = directory + "/Emoji.setting";
  dom::initialize();
  std::cout << "Checking the files beside " << modulePath << "\n";

  Report report(strict);
  const bool moduleUsable = checkModule(report, modulePath);
  const bool settingsRead =
      checkReadable(report, "Vantomer.setting", settingsPath,
                    "the filter runs with the default settings and no output profile, so every "
                    "TELMARK page is answered with 500");
  FilterSettings settings;
  InputCoordinator input;
  ProfileList profiles;
  int32_t timeoutMinutes = 60;
  std::string problem;
  SettingsTrace trace;
  const HRESULT settingsResult = loadSettings(
      settingsPath, SettingsTargets{settings, input, profiles, timeoutMinutes}, &problem, &trace);
  const bool settingsLoaded = succeeded(settingsResult);
  if (!settingsLoaded) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(settingsResult));
    report.error("Vantomer.setting", (problem.empty() ? std::string("the load fails") : problem) +
                                         " (" + code + "); the filter does not load");
  }

  checkReadable(report, "Emoji.setting", emojiPath,
                "the emoji table is empty and every emoji is written as an image");
  EmojiTable emoji;
  const HRESULT emojiResult = emoji.load(emojiPath);
  if (failed(emojiResult)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(emojiResult));
    report.error("Emoji.setting",
                 std::string("the load fails (") + code + "); the filter does not load");
  }

  if (settingsLoaded && !settingsRead) {
    report.error("Vantomer.setting",
                 "no output profile without the settings file: every TELMARK page is answered "
                 "with 500");
  }
  if (settingsRead && settingsLoaded) {
    // The names the loader knows are those it looked for: a load that
    // stopped early did not look for all of them.
    warnAboutSettingNames(report, "Vantomer.setting", settingsPath, trace);
    warnAboutSettingValues(report, "Vantomer.setting", trace);
    checkProfiles(report, profiles, input, emoji);
  }
  if (verbose && settingsLoaded) {
    if (agents.empty()) agents.assign(std::begin(kSampleAgents), std::end(kSampleAgents));
    listChoices(profiles, agents);
  }
  RedisAddress redis;
  std::string unusable;
  if (settingsLoaded && !settings.cookieStockerRedis.empty() &&
      parseRedisUrl(settings.cookieStockerRedis, redis, unusable)) {
    const std::string refusal =
        pingRedis(redis, std::chrono::milliseconds(settings.cookieStockerRedisTimeoutMs));
    if (!refusal.empty())
      report.warning("Vantomer.setting",
                     "CookieStockerRedis: no answer to PING from Redis at " + redis.describe() +
                         " (" + refusal + "; timeout " +
                         std::to_string(settings.cookieStockerRedisTimeoutMs) +
                         " ms); the filter loads, but keeps the cookie stock in each " +
                         "process's memory until Redis answers");
  }

  if (report.errors() == 0) {
    std::cout << "OK: the filter loads with these files (" << profiles.size() << " profile"
              << (profiles.size() == 1 ? "" : "s") << ", " << report.warnings() << " warning"
              << (report.warnings() == 1 ? "" : "s") << ")\n";
    return 0;
  }
  if (report.errors() == report.strictErrors()) {
    std::cout << "FAILED: " << report.strictErrors() << " warning"
              << (report.strictErrors() == 1 ? "" : "s") << ", made errors by --strict\n";
  } else if (!moduleUsable) {
    std::cout << "FAILED: " << modulePath << " is not a filter module that can be loaded\n";
  } else if (settingsLoaded && succeeded(emojiResult)) {
    std::cout << "FAILED: the filter loads with these files, but cannot convert a page\n";
  } else {
    std::cout << "FAILED: the filter does not load with these files\n";
  }
  return 1;
}

}  // namespace vantomer::host
