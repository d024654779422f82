#pragma once
// Stock keys: random letters from the system's secure source, then "0x" and
// a serial in lowercase hexadecimal.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantomer {

inline constexpr int kStockKeyLetters = 16;
inline constexpr const char* kStockKeyAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Draws the letters of new keys; keys stand for logins, so every letter is
// equally likely and unpredictable. Not safe for concurrent use.
class KeyLetters {
 public:
  // kStockKeyLetters letters. Throws std::system_error when the system has
  // no random source.
  std::string draw();

 private:
  int letterIndex();

  unsigned char random_[256];
  std::size_t position_ = sizeof random_;
};

// letters, "0x" and serial in lowercase hexadecimal without leading zeros.
std::string formatStockKey(std::string letters, uint64_t serial);

}  // namespace vantomer
