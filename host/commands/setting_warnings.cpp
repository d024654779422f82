#include "commands/setting_warnings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>

#include "platform/dom.h"
#include "platform/text.h"

namespace vantomer::host {
namespace {

using Form = SettingsTrace::Form;

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Edits (insert, delete, replace, swap of neighbours) from a to b.
std::size_t editDistance(std::string_view a, std::string_view b, bool foldCase) {
  const auto same = [foldCase](char x, char y) { return foldCase ? lower(x) == lower(y) : x == y; };
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = same(a[i - 1], b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && same(a[i - 1], b[j - 2]) && same(a[i - 2], b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

std::string join(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

// The names looked for under each parent.
struct KnownNames {
  std::map<std::string, std::vector<std::string>> byParent;
  std::map<std::string, bool> many;  // by path

  explicit KnownNames(const SettingsTrace& trace) {
    for (const SettingsTrace::Name& n : trace.names) {
      byParent[n.parent].push_back(n.name);
      many[join(n.parent, n.name)] = n.many;
    }
  }
  bool has(const std::string& parent, const std::string& name) const {
    auto it = byParent.find(parent);
    return it != byParent.end() &&
           std::find(it->second.begin(), it->second.end(), name) != it->second.end();
  }
  // Where else the name is read ("at the top", "inside InputCoordinator"),
  // or empty.
  std::string elsewhere(const std::string& parent, const std::string& name) const {
    for (const auto& [other, names] : byParent)
      if (other != parent && std::find(names.begin(), names.end(), name) != names.end())
        return other.empty() ? "at the top" : "inside " + other;
    return "";
  }
};

void walk(CheckReport& report, const std::string& file, const dom::Node& element,
          const std::string& parent, const std::string& where, const KnownNames& known) {
  std::map<std::string, int> seen;
  for (dom::Node child = element.firstChild(); child; child = child.nextSibling()) {
    if (!child.isElement()) continue;
    const std::string name = child.nodeName();
    const int count = ++seen[name];
    const std::string at = where + name + (count > 1 ? "[" + std::to_string(count) + "]" : "");
    if (!known.has(parent, name)) {
      const std::string other = known.elsewhere(parent, name);
      auto names = known.byParent.find(parent);
      const std::string guess = names == known.byParent.end() || !other.empty()
                                    ? std::string()
                                    : closestName(name, names->second);
      if (!other.empty())
        report.warning(file, at + ": not read here; it is read " + other);
      else if (!guess.empty())
        report.warning(file, at + ": unknown; did you mean " + guess + "?");
      else
        report.warning(file, at + ": unknown; the filter ignores it");
      continue;
    }
    const std::string path = join(parent, name);
    if (count > 1 && !known.many.at(path)) {
      report.warning(file, at + ": ignored; only the first " + name + " counts");
      continue;
    }
    if (known.byParent.count(path)) {
      const std::string index = known.many.at(path) ? "[" + std::to_string(count) + "]" : "";
      walk(report, file, child, path, where + name + index + "/", known);
    }
  }
}

// Sign and digits only, and inside the 32-bit range.
bool wholeNumber(const std::string& text, std::string& normal) {
  std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (i == text.size()) return false;
  for (std::size_t j = i; j < text.size(); ++j)
    if (!std::isdigit(static_cast<unsigned char>(text[j]))) return false;
  normal = std::to_string(text::parseDecimal32(text));
  return true;
}

bool outOfRange(const std::string& text) {
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return errno == ERANGE || value != text::parseDecimal32(text);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string closestName(std::string_view name, const std::vector<std::string>& known) {
  const std::size_t allowed = std::max<std::size_t>(1, std::min<std::size_t>(3, name.size() / 3));
  std::string best;
  std::size_t bestFolded = allowed + 1, bestExact = 0;
  for (const std::string& candidate : known) {
    const std::size_t folded = editDistance(name, candidate, true);
    const std::size_t exact = editDistance(name, candidate, false);
    if (folded < bestFolded || (folded == bestFolded && exact < bestExact)) {
      best = candidate;
      bestFolded = folded;
      bestExact = exact;
    }
  }
  return best;
}

void warnAboutSettingNames(CheckReport& report, const std::string& file, const std::string& path,
                           const SettingsTrace& trace) {
  dom::Document document;
  dom::Node root;
  if (document.load(path) != S_OK || document.documentElement(root) != S_OK) return;
  walk(report, file, root, "", "", KnownNames(trace));
}

void warnAboutSettingValues(CheckReport& report, const std::string& file,
                            const SettingsTrace& trace) {
  for (const SettingsTrace::Value& v : trace.values) {
    std::string why;
    std::string normal;
    switch (v.form) {
      case Form::Switch:
        if (!text::iequals(v.text, "on") && !text::iequals(v.text, "off"))
          why = quoted(v.text) + " is neither on nor off";
        break;
      case Form::Integer:
        if (!wholeNumber(v.text, normal))
          why = quoted(v.text) + " does not read whole as a number";
        else if (normal != v.used || outOfRange(v.text))
          why = quoted(v.text) + " is out of range";
        break;
      case Form::EmojiType:
        if (v.used == "Image" && !text::iequals(v.text, "Image"))
          why = quoted(v.text) + " is none of Comment, i-mode, EZweb, J-SKY and Image";
        break;
    }
    if (!why.empty()) report.warning(file, v.path + ": " + why + "; the filter uses " + v.used);
  }
}

}  // namespace vantomer::host
