#pragma once
// COM-style result codes: 0 success, 1 success without the usual effect,
// negative failure.

#include <cstdint>

namespace vantomer {

using HRESULT = int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
// The Win32 errors ERROR_INSUFFICIENT_BUFFER and ERROR_BUSY as results.
inline constexpr HRESULT E_NOT_SUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007Au);
inline constexpr HRESULT E_BUSY = static_cast<HRESULT>(0x800700AAu);

inline constexpr bool failed(HRESULT hr) { return hr < 0; }
inline constexpr bool succeeded(HRESULT hr) { return hr >= 0; }

}  // namespace vantomer
