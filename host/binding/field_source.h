#pragma once
// Header fields a host keeps in a list of its own, read where they are: a
// head copies them into its own list only when the filter changes one, so
// that a request the filter only looks at costs no copy.

#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/headers.h"

namespace vantomer::host {

class FieldSource {
 public:
  using Visit = void (*)(void* state, std::string_view name, std::string_view value);
  // Calls visit for every field, in order; with a nameLength, it may leave
  // out the fields whose names have another length.
  virtual void forEach(Visit visit, void* state, std::size_t nameLength) const = 0;

 protected:
  ~FieldSource() = default;
};

// Calls f(name, value) for every field: those of the source when there is
// one, otherwise those of headers. A lookup gives the length of the names it
// looks for, so that a source can skip the others cheaply.
template <typename F>
void forEachField(const Headers& headers, const FieldSource* source, F&& f,
                  std::size_t nameLength = 0) {
  if (!source) {
    for (const Header& h : headers) f(std::string_view(h.name), std::string_view(h.value));
    return;
  }
  using Fn = std::remove_reference_t<F>;
  source->forEach([](void* state, std::string_view name,
                     std::string_view value) { (*static_cast<Fn*>(state))(name, value); },
                  const_cast<void*>(static_cast<const void*>(&f)), nameLength);
}

// The source's fields copied into headers, and the source dropped.
void ownFields(Headers& headers, const FieldSource*& source);

}  // namespace vantomer::host
