#include "connection/PrinterListFile.h"

#include <cstdlib>

namespace quill {
namespace {

void AddString(plist_t node, std::vector<std::string>& out) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return;
  char* value = nullptr;
  plist_get_string_val(node, &value);
  if (value == nullptr) return;
  out.emplace_back(value);
  std::free(value);
}

}  // namespace

PrinterListFile::PrinterListFile(const std::string& contentsDirectory)
    : PropertyListFile(contentsDirectory, kFileName) {
  plist_t root = List();
  if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) return;
  plist_t value = plist_dict_get_item(root, kPCFileNameKey);
  if (value == nullptr) return;
  hasPCFileName_ = true;
  if (plist_get_node_type(value) == PLIST_ARRAY) {
    for (uint32_t i = 0; i < plist_array_get_size(value); ++i) {
      AddString(plist_array_get_item(value, i), pcFileNames_);
    }
  } else {
    AddString(value, pcFileNames_);
  }
}

}  // namespace quill
