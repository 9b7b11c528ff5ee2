#include "panel/CustomizeQuickAccessDialogController.h"

#include <algorithm>

#include "panel/PDEData.h"
#include "panel/TableViewControllerDB.h"

CustomizeQuickAccessDialogController::CustomizeQuickAccessDialogController(
    const PPDTree& tree, const PDEData* data, TableViewControllerDB& table)
    : tree_(tree), data_(data), table_(table) {}

void CustomizeQuickAccessDialogController::ListAvailableShortcuts() {
  groups_.clear();
  count_ = 0;
  std::vector<std::string> hidden;
  if (data_ != nullptr) data_->fetchHiddenKeysFromDMTXML(hidden);
  for (const PPDTreeGroup& group : tree_.groups) {
    PPDTreeGroup available{group.name, group.keyword, {}};
    for (const PPDTreeControl& control : group.controls) {
      const bool hides = std::find(hidden.begin(), hidden.end(), control.keyword) != hidden.end() ||
                         (data_ != nullptr && data_->dmtHides(control.keyword.c_str()));
      if (!hides) available.controls.push_back(control);
    }
    if (available.controls.empty()) continue;
    count_ += available.controls.size();
    groups_.push_back(std::move(available));
  }
  Deselect();
}

std::size_t CustomizeQuickAccessDialogController::ChildCount(long group) const {
  if (group < 0) return groups_.size();
  const auto index = static_cast<std::size_t>(group);
  return index < groups_.size() ? groups_[index].controls.size() : 0;
}

std::string CustomizeQuickAccessDialogController::RowText(const OutlineRow& row) const {
  if (row.group >= groups_.size()) return {};
  const PPDTreeGroup& group = groups_[row.group];
  if (row.entry < 0) return group.name;
  const auto entry = static_cast<std::size_t>(row.entry);
  return entry < group.controls.size() ? group.controls[entry].name : std::string();
}

void CustomizeQuickAccessDialogController::SelectRows(const std::vector<OutlineRow>& rows) {
  selectedKeys_.clear();
  anySelected_ = false;
  for (const OutlineRow& row : rows) {
    if (row.group >= groups_.size()) continue;
    anySelected_ = true;
    if (row.entry < 0) continue;
    const auto entry = static_cast<std::size_t>(row.entry);
    const PPDTreeGroup& group = groups_[row.group];
    if (entry < group.controls.size()) selectedKeys_.push_back(group.controls[entry].keyword);
  }
  table_.SetAvailableSelected(anySelected_);
}

bool CustomizeQuickAccessDialogController::Add(std::string* why) {
  const bool added = table_.Add(selectedKeys_, why);
  Deselect();
  return added;
}

void CustomizeQuickAccessDialogController::Deselect() {
  selectedKeys_.clear();
  anySelected_ = false;
  table_.SetAvailableSelected(false);
}
