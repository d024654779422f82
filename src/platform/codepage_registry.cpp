#include "platform/codepage_registry.h"

#include <cstdlib>

#include "platform/codepage.h"
#include "platform/text.h"

namespace vantomer::codepage {
namespace detail {
namespace {

constexpr int kDefaultAnsi = 932;

constexpr CodePage kCodePages[] = {
    {932, Method::Iconv, "CP932", 1, false, JisKana::Fullwidth},
    {65001, Method::Utf8, "UTF-8", 1, true, JisKana::Fullwidth},
    // EUC with the CP932 mappings, so text survives a trip between the two.
    {20932, Method::Iconv, "EUC-JP-MS", 1, false, JisKana::Fullwidth},
    {51932, Method::Iconv, "EUC-JP-MS", 1, false, JisKana::Fullwidth},
    {50220, Method::Jis, nullptr, 1, false, JisKana::Fullwidth},
    {50221, Method::Jis, nullptr, 1, false, JisKana::Escape},
    {50222, Method::Jis, nullptr, 1, false, JisKana::ShiftOut},
    {1200, Method::Iconv, "UTF-16LE", 2, true, JisKana::Fullwidth},
    {1201, Method::Iconv, "UTF-16BE", 2, true, JisKana::Fullwidth},
    {12000, Method::Iconv, "UTF-32LE", 4, true, JisKana::Fullwidth},
    {12001, Method::Iconv, "UTF-32BE", 4, true, JisKana::Fullwidth},
    {20127, Method::Iconv, "ASCII", 1, false, JisKana::Fullwidth},
    {28591, Method::Iconv, "ISO-8859-1", 1, false, JisKana::Fullwidth},
    {28592, Method::Iconv, "ISO-8859-2", 1, false, JisKana::Fullwidth},
    {28593, Method::Iconv, "ISO-8859-3", 1, false, JisKana::Fullwidth},
    {28594, Method::Iconv, "ISO-8859-4", 1, false, JisKana::Fullwidth},
    {28595, Method::Iconv, "ISO-8859-5", 1, false, JisKana::Fullwidth},
    {28596, Method::Iconv, "ISO-8859-6", 1, false, JisKana::Fullwidth},
    {28597, Method::Iconv, "ISO-8859-7", 1, false, JisKana::Fullwidth},
    {28598, Method::Iconv, "ISO-8859-8", 1, false, JisKana::Fullwidth},
    {28599, Method::Iconv, "ISO-8859-9", 1, false, JisKana::Fullwidth},
    {28603, Method::Iconv, "ISO-8859-13", 1, false, JisKana::Fullwidth},
    {28605, Method::Iconv, "ISO-8859-15", 1, false, JisKana::Fullwidth},
    {874, Method::Iconv, "CP874", 1, false, JisKana::Fullwidth},
    {936, Method::Iconv, "CP936", 1, false, JisKana::Fullwidth},
    {949, Method::Iconv, "CP949", 1, false, JisKana::Fullwidth},
    {950, Method::Iconv, "CP950", 1, false, JisKana::Fullwidth},
    {1250, Method::Iconv, "CP1250", 1, false, JisKana::Fullwidth},
    {1251, Method::Iconv, "CP1251", 1, false, JisKana::Fullwidth},
    {1252, Method::Iconv, "CP1252", 1, false, JisKana::Fullwidth},
    {1253, Method::Iconv, "CP1253", 1, false, JisKana::Fullwidth},
    {1254, Method::Iconv, "CP1254", 1, false, JisKana::Fullwidth},
    {1255, Method::Iconv, "CP1255", 1, false, JisKana::Fullwidth},
    {1256, Method::Iconv, "CP1256", 1, false, JisKana::Fullwidth},
    {1257, Method::Iconv, "CP1257", 1, false, JisKana::Fullwidth},
    {1258, Method::Iconv, "CP1258", 1, false, JisKana::Fullwidth},
    {20866, Method::Iconv, "KOI8-R", 1, false, JisKana::Fullwidth},
    {21866, Method::Iconv, "KOI8-U", 1, false, JisKana::Fullwidth},
    {51949, Method::Iconv, "EUC-KR", 1, false, JisKana::Fullwidth},
    {54936, Method::Iconv, "GB18030", 1, false, JisKana::Fullwidth},
    {10000, Method::Iconv, "MACINTOSH", 1, false, JisKana::Fullwidth},
    {437, Method::Iconv, "IBM437", 1, false, JisKana::Fullwidth},
    {850, Method::Iconv, "IBM850", 1, false, JisKana::Fullwidth},
    {866, Method::Iconv, "IBM866", 1, false, JisKana::Fullwidth},
};

}  // namespace

const CodePage* findCodePage(int number) {
  for (const CodePage& cp : kCodePages)
    if (cp.number == number) return &cp;
  return nullptr;
}

}  // namespace detail

int ansiCodePage() {
  static const int value = [] {
    const char* env = std::getenv("VANTOMER_ANSI_CODEPAGE");
    if (env && *env) {
      const int number = text::parseDecimal32(env);
      // An unusable value would break every narrow text; keep the default.
      if (number > 0 && isKnown(number)) return number;
    }
    return detail::kDefaultAnsi;
  }();
  return value;
}

int resolve(int codePage) { return codePage == 0 ? ansiCodePage() : codePage; }

}  // namespace vantomer::codepage
