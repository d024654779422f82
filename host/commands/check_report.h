#pragma once
// The findings of vantomer check, printed as they are made.

#include <iostream>
#include <string>

namespace vantomer::host {

class CheckReport {
 public:
  // strict: every warning counts, and is printed, as an error.
  explicit CheckReport(bool strict) : strict_(strict) {}

  void error(const std::string& file, const std::string& text) {
    ++errors_;
    std::cout << file << ": error: " << text << "\n";
  }
  void warning(const std::string& file, const std::string& text) {
    if (strict_) {
      ++strictErrors_;
      error(file, text);
      return;
    }
    ++warnings_;
    std::cout << file << ": warning: " << text << "\n";
  }
  int errors() const { return errors_; }
  int warnings() const { return warnings_; }
  // Errors that are warnings made errors by strict.
  int strictErrors() const { return strictErrors_; }

 private:
  bool strict_;
  int errors_ = 0;
  int warnings_ = 0;
  int strictErrors_ = 0;
};

}  // namespace vantomer::host
