#pragma once
// The directory application: static files under one root.

#include <memory>
#include <string>
#include <vector>

#include "binding/headers.h"
#include "server/application.h"

namespace vantomer::host {

// Null with a message when root is no directory. extraTypes maps file
// extensions (".tm") to media types, ahead of the built-in ones.
std::unique_ptr<Application> makeStaticApplication(std::string root,
                                                   std::vector<std::string> indexFiles,
                                                   std::vector<Header> extraTypes,
                                                   std::string& error);

}  // namespace vantomer::host
