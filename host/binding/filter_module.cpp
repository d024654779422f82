#include "binding/filter_module.h"

#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace vantomer::host {

std::unique_ptr<FilterModule> FilterModule::open(const std::string& path, std::string& error,
                                                 bool unloadOnDestroy) {
  std::unique_ptr<FilterModule> module(new FilterModule());
  module->path_ = path;
  // A bare name would make dlopen search the library path instead of the file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  module->handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module->handle_) {
    const char* message = dlerror();
    error = "cannot load the filter module " + path + ": " + (message ? message : "unknown error");
    return nullptr;
  }
  module->unloadOnDestroy_ = unloadOnDestroy;
  EntryPoints& e = module->entryPoints_;
  e.getFilterVersion =
      reinterpret_cast<PFN_GETFILTERVERSION>(dlsym(module->handle_, "GetFilterVersion"));
  e.httpFilterProc = reinterpret_cast<PFN_HTTPFILTERPROC>(dlsym(module->handle_, "HttpFilterProc"));
  e.terminateFilter =
      reinterpret_cast<PFN_TERMINATEFILTER>(dlsym(module->handle_, "TerminateFilter"));
  std::vector<std::string> missing;
  if (!e.getFilterVersion) missing.push_back("GetFilterVersion");
  if (!e.httpFilterProc) missing.push_back("HttpFilterProc");
  if (!e.terminateFilter) missing.push_back("TerminateFilter");
  if (!missing.empty()) {
    error = "the filter module " + path + " does not export";
    for (std::size_t i = 0; i < missing.size(); ++i) error += (i ? ", " : " ") + missing[i];
    return nullptr;
  }
  return module;
}

std::unique_ptr<FilterModule> FilterModule::inProcess(EntryPoints entryPoints, std::string name) {
  std::unique_ptr<FilterModule> module(new FilterModule());
  module->path_ = std::move(name);
  module->entryPoints_ = entryPoints;
  return module;
}

std::unique_ptr<FilterModule> FilterModule::load(const std::string& path, std::string& error) {
  std::unique_ptr<FilterModule> module = open(path, error);
  if (!module) return nullptr;
  if (!module->getFilterVersion()) {
    error = "the filter module " + path +
            " refused to load (GetFilterVersion returned FALSE); "
            "'vantomer check --module " +
            path + "' tells what is wrong with its settings";
    return nullptr;
  }
  return module;
}

FilterModule::~FilterModule() {
  // A module that did not load gets no TerminateFilter.
  if (loaded()) terminate();
  // Otherwise the module stays mapped: its static objects and threads may
  // outlive TerminateFilter until the process ends.
  if (handle_ && unloadOnDestroy_) dlclose(handle_);
}

BOOL FilterModule::getFilterVersion() {
  if (versionCalled_ || !entryPoints_.getFilterVersion) return versionResult_;
  versionCalled_ = true;
  std::memset(&version_, 0, sizeof version_);
  version_.dwServerFilterVersion = HTTP_FILTER_REVISION;
  versionResult_ = entryPoints_.getFilterVersion(&version_);
  version_.lpszFilterDesc[sizeof version_.lpszFilterDesc - 1] = '\0';
  return versionResult_;
}

std::string FilterModule::description() const { return version_.lpszFilterDesc; }

bool FilterModule::wants(DWORD notification, bool secure) const {
  const DWORD flags = version_.dwFlags;
  if (!(flags & notification)) return false;
  const DWORD ports = flags & (SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT);
  if (ports == 0) return true;  // no port named: both
  return (ports & (secure ? SF_NOTIFY_SECURE_PORT : SF_NOTIFY_NONSECURE_PORT)) != 0;
}

BOOL FilterModule::terminate() {
  if (terminateCalled_ || !entryPoints_.terminateFilter) return terminateResult_;
  terminateCalled_ = true;
  terminateResult_ = entryPoints_.terminateFilter(0);
  return terminateResult_;
}

BOOL FilterModule::reload() {
  if (loaded()) terminate();
  versionCalled_ = false;
  terminateCalled_ = false;
  return getFilterVersion();
}

void* FilterModule::symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace vantomer::host
