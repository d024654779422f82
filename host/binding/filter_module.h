#pragma once
// A filter module known only through the filter interface header: a shared
// object found by dlopen, or one linked into this program and given by its
// three entry points. GetFilterVersion once, TerminateFilter once.

#include <memory>
#include <string>

#include "vantomer/httpfilt.h"

namespace vantomer::host {

class FilterModule {
 public:
  struct EntryPoints {
    PFN_GETFILTERVERSION getFilterVersion = nullptr;
    PFN_HTTPFILTERPROC httpFilterProc = nullptr;
    PFN_TERMINATEFILTER terminateFilter = nullptr;
  };

  // Maps the file and finds its three exports; GetFilterVersion is not
  // called yet. Null with a message in error when the file does not load or
  // an export is missing. With unloadOnDestroy the file is unmapped when the
  // module goes (only for modules that leave no thread behind).
  static std::unique_ptr<FilterModule> open(const std::string& path, std::string& error,
                                            bool unloadOnDestroy = false);
  // A module linked into this program; name stands for its path.
  static std::unique_ptr<FilterModule> inProcess(EntryPoints entryPoints, std::string name);
  // open, then GetFilterVersion. Null with a message in error also when the
  // module refuses (GetFilterVersion returns FALSE).
  static std::unique_ptr<FilterModule> load(const std::string& path, std::string& error);

  // Calls TerminateFilter when GetFilterVersion succeeded and terminate()
  // was not called.
  ~FilterModule();
  FilterModule(const FilterModule&) = delete;
  FilterModule& operator=(const FilterModule&) = delete;

  // Calls GetFilterVersion the first time; later calls give its first result.
  BOOL getFilterVersion();
  bool loaded() const { return versionCalled_ && versionResult_ != FALSE; }
  // The record as GetFilterVersion left it.
  const HTTP_FILTER_VERSION& version() const { return version_; }

  const std::string& path() const { return path_; }
  std::string description() const;
  DWORD flags() const { return version_.dwFlags; }
  // Whether the module asked for the notification on a connection of this kind.
  bool wants(DWORD notification, bool secure) const;

  DWORD httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notification, void* record) const {
    return entryPoints_.httpFilterProc(pfc, notification, record);
  }

  // Calls TerminateFilter the first time; later calls give its first result.
  BOOL terminate();
  // TerminateFilter, then GetFilterVersion anew: the filter reads its files
  // again and keeps what it keeps across loads. No notification may run
  // meanwhile.
  BOOL reload();
  // A symbol of the shared object; null for an in-process module.
  void* symbol(const char* name) const;

 private:
  FilterModule() = default;

  std::string path_;
  void* handle_ = nullptr;
  bool unloadOnDestroy_ = false;
  EntryPoints entryPoints_;
  HTTP_FILTER_VERSION version_{};
  bool versionCalled_ = false;
  BOOL versionResult_ = FALSE;
  bool terminateCalled_ = false;
  BOOL terminateResult_ = FALSE;
};

}  // namespace vantomer::host
