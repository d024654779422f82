#pragma once
// URLs split into their parts and joined again, and the key mark in a path.

#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace vantomer {

struct ParsedUrl {
  std::string scheme;
  std::string host;
  std::string path;
  std::string query;
  std::string fragment;

  // S_OK when parsed; S_FALSE for a scheme other than "http" and "https"
  // (the other fields are then not to be used).
  [[nodiscard]] HRESULT parse(std::string_view url);
  std::string format() const;
};

// Puts the mark right after the last "/" of the path, or at its start.
void insertKeyMark(std::string& path, std::string_view mark);

}  // namespace vantomer
