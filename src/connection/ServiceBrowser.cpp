#include "connection/ServiceBrowser.h"

namespace quill {

const std::vector<std::string>& ServiceBrowser::PrintServiceTypes() {
  static const std::vector<std::string> types = {"_ipp._tcp", "_pdl-datastream._tcp",
                                                 "_printer._tcp"};
  return types;
}

}  // namespace quill
