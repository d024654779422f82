#include "filter_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace vantomer::host {

std::unique_ptr<FilterModule> FilterModule::load(const std::string& path, std::string& error) {
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
  auto getFilterVersion =
      reinterpret_cast<PFN_GETFILTERVERSION>(dlsym(module->handle_, "GetFilterVersion"));
  module->httpFilterProc_ =
      reinterpret_cast<PFN_HTTPFILTERPROC>(dlsym(module->handle_, "HttpFilterProc"));
  module->terminateFilter_ =
      reinterpret_cast<PFN_TERMINATEFILTER>(dlsym(module->handle_, "TerminateFilter"));
  std::vector<std::string> missing;
  if (!getFilterVersion) missing.push_back("GetFilterVersion");
  if (!module->httpFilterProc_) missing.push_back("HttpFilterProc");
  if (!module->terminateFilter_) missing.push_back("TerminateFilter");
  if (!missing.empty()) {
    error = "the filter module " + path + " does not export";
    for (std::size_t i = 0; i < missing.size(); ++i) error += (i ? ", " : " ") + missing[i];
    module->terminated_ = true;
    return nullptr;
  }

  HTTP_FILTER_VERSION version;
  std::memset(&version, 0, sizeof version);
  version.dwServerFilterVersion = HTTP_FILTER_REVISION;
  if (!getFilterVersion(&version)) {
    error = "the filter module " + path +
            " refused to load (GetFilterVersion returned FALSE); "
            "'vantomer check --module " +
            path + "' tells what is wrong with its settings";
    // A module that did not load gets no TerminateFilter either.
    module->terminated_ = true;
    return nullptr;
  }
  version.lpszFilterDesc[sizeof version.lpszFilterDesc - 1] = '\0';
  module->description_ = version.lpszFilterDesc;
  module->flags_ = version.dwFlags;
  return module;
}

FilterModule::~FilterModule() {
  terminate();
  // The module stays mapped: its static objects and threads may outlive
  // TerminateFilter until the process ends.
}

bool FilterModule::wants(DWORD notification, bool secure) const {
  if (!(flags_ & notification)) return false;
  const DWORD ports = flags_ & (SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT);
  if (ports == 0) return true;  // no port named: both
  return (ports & (secure ? SF_NOTIFY_SECURE_PORT : SF_NOTIFY_NONSECURE_PORT)) != 0;
}

void FilterModule::terminate() {
  if (terminated_ || !terminateFilter_) return;
  terminated_ = true;
  terminateFilter_(0);
}

std::string defaultModulePath() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "vantomer.so";
  std::string exe(buffer.data(), static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/vantomer.so";
}

}  // namespace vantomer::host
