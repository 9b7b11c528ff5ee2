#include "panel/PPDTree.h"

bool PPDTree::AddShortcut(std::string name, std::string_view keyword) {
  if (shortcuts.size() >= kMaxShortcuts) return false;
  // Keywords are ASCII; the cut never splits a character of one.
  shortcuts.push_back({std::move(name), std::string(keyword.substr(0, kMaxKeyword)), 0});
  return true;
}

PPDTree& GetPPDTree() {
  static PPDTree tree;
  return tree;
}

PPDTreeShortcut* GetShortcutFromKeyword(PPDTree& tree, const char* keyword) {
  if (keyword == nullptr) return nullptr;
  for (PPDTreeShortcut& s : tree.shortcuts) {
    if (s.keyword == keyword) return &s;
  }
  return nullptr;
}

PPDTreeShortcut* GetShortcutFromKeyword(const char* keyword) {
  return GetShortcutFromKeyword(GetPPDTree(), keyword);
}
