// The device URI that cupsd hands the quill backend (and that the panel, quill print and the filter
// unwrap): the scheme found names a file in the backend folder, so it must never hold a path
// separator, and wrapping and unwrapping must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/BackendURI.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill::backend_uri;
  const std::string_view uri(reinterpret_cast<const char*>(data), size);
  const std::string_view scheme = Scheme(uri);
  for (const char c : scheme) {
    if (c == '/' || c == '\0' || c == ' ' || c == ':') std::abort();
  }
  const std::string wrapped = Wrapped(uri);
  if (wrapped != uri && wrapped != std::string(kPrefix) + std::string(uri)) std::abort();
  if (!IsWrapped(uri) && Inner(wrapped) != uri) std::abort();
  if (IsWrapped(wrapped) && !IsWrapped(uri) && !IsWrappableScheme(Scheme(Inner(wrapped)))) std::abort();
  return 0;
}
