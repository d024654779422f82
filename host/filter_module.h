#pragma once
// A filter module loaded through the filter interface header alone: dlopen,
// the three exports, GetFilterVersion once, TerminateFilter once.

#include <memory>
#include <string>

#include "vantomer/httpfilt.h"

namespace vantomer::host {

class FilterModule {
 public:
  // Loads the module and calls GetFilterVersion. Null with a message in
  // error when the file does not load, an export is missing or the module
  // refuses (GetFilterVersion returns FALSE).
  static std::unique_ptr<FilterModule> load(const std::string& path, std::string& error);

  ~FilterModule();
  FilterModule(const FilterModule&) = delete;
  FilterModule& operator=(const FilterModule&) = delete;

  const std::string& path() const { return path_; }
  const std::string& description() const { return description_; }
  DWORD flags() const { return flags_; }
  // Whether the module asked for the notification on a connection of this kind.
  bool wants(DWORD notification, bool secure) const;

  DWORD httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notification, void* record) const {
    return httpFilterProc_(pfc, notification, record);
  }

  // Calls TerminateFilter; later calls do nothing.
  void terminate();

 private:
  FilterModule() = default;

  std::string path_;
  std::string description_;
  void* handle_ = nullptr;
  DWORD flags_ = 0;
  PFN_HTTPFILTERPROC httpFilterProc_ = nullptr;
  PFN_TERMINATEFILTER terminateFilter_ = nullptr;
  bool terminated_ = false;
};

// The vantomer.so beside the running executable.
std::string defaultModulePath();

}  // namespace vantomer::host
