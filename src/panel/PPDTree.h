// PPDTree: the panel's view of the option tree for the quick-access pane and its customisation
// dialog: the groups with the controls that may be shown in them, and the quick-access entries
// (the controls the pane shows, in order).
//
// One tree per process (GetPPDTree), built by UI_Panel::PopulatePPDTreeStructure. Sizes are
// bounded: at most 30 groups of at most 255 controls, at most 99 quick-access entries; a keyword
// keeps at most 71 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PPDTreeControl {
  std::string name;     // display name (UTF-8)
  std::string keyword;  // main keyword with its asterisk
};

struct PPDTreeGroup {
  std::string name;
  std::string keyword;
  std::vector<PPDTreeControl> controls;  // at most PPDTree::kMaxGroupControls
};

struct PPDTreeShortcut {
  std::string name;
  std::string keyword;
  // 100 x (group position + 1) + position within the group (both from 0); 0 until placed.
  int32_t position = 0;
};

struct PPDTree {
  static constexpr std::size_t kMaxGroups = 30;
  static constexpr std::size_t kMaxGroupControls = 255;
  static constexpr std::size_t kMaxShortcuts = 99;
  static constexpr std::size_t kMaxKeyword = 71;

  std::vector<PPDTreeGroup> groups;
  std::vector<PPDTreeShortcut> shortcuts;

  // Appends a quick-access entry; false (nothing added) when the list is full. The keyword is
  // cut to kMaxKeyword bytes.
  bool AddShortcut(std::string name, std::string_view keyword);
  void Clear() {
    groups.clear();
    shortcuts.clear();
  }
};

// The process-wide tree.
PPDTree& GetPPDTree();

// The quick-access entry of the process-wide tree with that keyword, or null.
PPDTreeShortcut* GetShortcutFromKeyword(const char* keyword);
// The same in a given tree.
PPDTreeShortcut* GetShortcutFromKeyword(PPDTree& tree, const char* keyword);
