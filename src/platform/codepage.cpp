// The public conversions: each number goes to its converter, and the
// output is left as it was when a conversion fails.

#include "platform/codepage.h"

#include <new>

#include "platform/codepage_932.h"
#include "platform/codepage_iconv.h"
#include "platform/codepage_jis.h"
#include "platform/codepage_registry.h"
#include "platform/codepage_utf8.h"

namespace vantomer::codepage {

using detail::CodePage;
using detail::findCodePage;
using detail::Method;

bool isKnown(int codePage) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return false;
  if (cp->method != Method::Iconv) return true;
  return detail::iconvAvailable(*cp);
}

namespace {

// Converts into a fresh string so that the input may live in the output and
// a failure leaves the output as it was.
template <typename Convert>
[[nodiscard]] HRESULT convertInto(std::string& out, Convert convert) {
  try {
    std::string result;
    const HRESULT hr = convert(result);
    if (succeeded(hr)) out.swap(result);
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

[[nodiscard]] HRESULT encodeInto(const CodePage& cp, std::string_view utf8, std::string& out) {
  switch (cp.method) {
    case Method::Utf8:
      detail::sanitizeUtf8(utf8, out);
      return S_OK;
    case Method::Iconv:
      if (cp.number == detail::kShiftJis) return detail::shiftJisEncode(utf8, out);
      return detail::iconvEncode(cp, utf8, out);
    case Method::Jis:
      return detail::jisEncode(cp, utf8, out);
  }
  return E_INVALIDARG;
}

[[nodiscard]] HRESULT decodeInto(const CodePage& cp, std::string_view bytes, std::string& utf8) {
  switch (cp.method) {
    case Method::Utf8:
      detail::sanitizeUtf8(bytes, utf8);
      return S_OK;
    case Method::Iconv:
      return detail::iconvDecode(cp, bytes, utf8);
    case Method::Jis:
      return detail::jisDecode(bytes, utf8);
  }
  return E_INVALIDARG;
}

// Appends in place; a failure takes back what was appended.
template <typename Convert>
[[nodiscard]] HRESULT appendTo(std::string& out, Convert convert) {
  const std::size_t base = out.size();
  try {
    const HRESULT hr = convert(out);
    if (failed(hr)) out.resize(base);
    return hr;
  } catch (const std::bad_alloc&) {
    out.resize(base);
    return E_OUTOFMEMORY;
  }
}

}  // namespace

HRESULT encode(int codePage, std::string_view utf8, std::string& out) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return convertInto(out, [&](std::string& result) { return encodeInto(*cp, utf8, result); });
}

HRESULT decode(int codePage, std::string_view bytes, std::string& utf8) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return convertInto(utf8, [&](std::string& result) { return decodeInto(*cp, bytes, result); });
}

HRESULT encodeAppend(int codePage, std::string_view utf8, std::string& out) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return appendTo(out, [&](std::string& target) { return encodeInto(*cp, utf8, target); });
}

HRESULT decodeAppend(int codePage, std::string_view bytes, std::string& utf8) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return appendTo(utf8, [&](std::string& target) { return decodeInto(*cp, bytes, target); });
}

}  // namespace vantomer::codepage
