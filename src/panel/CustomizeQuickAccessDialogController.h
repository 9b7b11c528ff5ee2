// CustomizeQuickAccessDialogController: the available side of the quick-access customisation
// dialog: the panel tree's groups with the options they offer (options hidden by device
// management left out), as an outline a front end shows, and the selection in it, which the add
// button hands to the chosen side (TableViewControllerDB).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "panel/PPDTree.h"

class PDEData;
class TableViewControllerDB;

class CustomizeQuickAccessDialogController {
 public:
  // A row of the outline: a group (entry < 0) or an entry of a group.
  struct OutlineRow {
    std::size_t group = 0;
    long entry = -1;
  };

  // `tree`, `data` (may be null: nothing hidden) and `table` must outlive the controller.
  CustomizeQuickAccessDialogController(const PPDTree& tree, const PDEData* data,
                                       TableViewControllerDB& table);

  // Collects the groups of the tree, in order, with their entries that are not hidden; groups
  // left without entries are not listed.
  void ListAvailableShortcuts();
  [[nodiscard]] const std::vector<PPDTreeGroup>& Groups() const { return groups_; }
  [[nodiscard]] std::size_t AvailableCount() const { return count_; }

  // Outline data: the top level is the groups, a group's children are its entries.
  [[nodiscard]] std::size_t ChildCount(long group) const;  // group < 0: the top level
  [[nodiscard]] std::string RowText(const OutlineRow& row) const;
  [[nodiscard]] static bool IsExpandable(const OutlineRow& row) { return row.entry < 0; }

  // The selected rows; the keywords of the selected entry rows become the keys to add (group
  // rows are skipped). Rows out of range are dropped.
  void SelectRows(const std::vector<OutlineRow>& rows);
  [[nodiscard]] const std::vector<std::string>& SelectedKeys() const { return selectedKeys_; }
  // The add button: enabled exactly when a row of the outline is selected.
  [[nodiscard]] bool AddEnabled() const { return anySelected_; }
  // Adds the selected keys to the chosen side and clears the selection; false (with `why`)
  // when the chosen list is full.
  bool Add(std::string* why = nullptr);
  void Deselect();

 private:
  const PPDTree& tree_;
  const PDEData* data_;
  TableViewControllerDB& table_;
  std::vector<PPDTreeGroup> groups_;
  std::size_t count_ = 0;
  std::vector<std::string> selectedKeys_;
  bool anySelected_ = false;
};
