#include "connection/PrinterListFile.h"

#include <cstdlib>
#include <cstring>

namespace quill {
namespace {

void AddString(plist_t node, std::vector<std::string>& out) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return;
  // Through the pointer: the copying getter asserts on a NUL byte inside the string.
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  if (value == nullptr) return;
  out.emplace_back(value, strnlen(value, static_cast<std::size_t>(length)));
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
