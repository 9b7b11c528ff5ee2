#include "panel/TableViewControllerDB.h"

#include <algorithm>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/PPDXShortcuts.h"
#include "panel/CustomizePaneController.h"
#include "panel/PDEData.h"
#include "panel/PPDTree.h"
#include "platform/Bundle.h"

TableViewControllerDB::TableViewControllerDB(PPDTree& tree, PDEData* data,
                                             CustomizePaneController* pane)
    : tree_(tree), data_(data), pane_(pane) {}

void TableViewControllerDB::Open() {
  dictionary_.clear();
  for (const PPDTreeGroup& group : tree_.groups) {
    for (const PPDTreeControl& control : group.controls) {
      dictionary_.emplace(control.keyword, control.name);
    }
  }
  names_.clear();
  keys_.clear();
  for (const PPDTreeShortcut& shortcut : tree_.shortcuts) {
    names_.push_back(shortcut.name);
    keys_.push_back(shortcut.keyword);
  }
  savedNames_ = names_;
  savedKeys_ = keys_;
  Deselect();
}

std::string TableViewControllerDB::DisplayName(const std::string& keyword) const {
  const auto it = dictionary_.find(keyword);
  return it == dictionary_.end() ? std::string() : it->second;
}

void TableViewControllerDB::SelectChosenRows(std::vector<std::size_t> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  rows.erase(std::remove_if(rows.begin(), rows.end(),
                            [&](std::size_t row) { return row >= keys_.size(); }),
             rows.end());
  selected_ = std::move(rows);
}

TableViewControllerDB::ButtonStates TableViewControllerDB::Buttons() const {
  ButtonStates states;
  states.add = availableSelected_;
  states.remove = !selected_.empty();
  if (selected_.size() == 1) {
    states.moveUp = selected_[0] > 0;
    states.moveDown = selected_[0] + 1 < keys_.size();
  }
  return states;
}

void TableViewControllerDB::Deselect() {
  selected_.clear();
  availableSelected_ = false;
}

bool TableViewControllerDB::Add(const std::vector<std::string>& keys, std::string* why) {
  bool refused = false;
  for (const std::string& key : keys) {
    if (std::find(keys_.begin(), keys_.end(), key) != keys_.end()) continue;
    const auto it = dictionary_.find(key);
    if (it == dictionary_.end()) continue;  // not offered by the tree
    if (keys_.size() >= PPDTree::kMaxShortcuts) {
      refused = true;
      continue;
    }
    names_.push_back(it->second);
    keys_.push_back(key);
  }
  Deselect();
  if (refused && why != nullptr) {
    *why = quill::Bundle::Main().LocalizedString(
        "QuickAccessFull", {},
        "The quick-access pane shows at most 99 options; remove one before adding another.");
  }
  return !refused;
}

void TableViewControllerDB::Remove() {
  for (auto it = selected_.rbegin(); it != selected_.rend(); ++it) {
    names_.erase(names_.begin() + static_cast<long>(*it));
    keys_.erase(keys_.begin() + static_cast<long>(*it));
  }
  Deselect();
}

bool TableViewControllerDB::MoveUp() {
  if (!Buttons().moveUp) return false;
  const std::size_t row = selected_[0];
  std::swap(names_[row], names_[row - 1]);
  std::swap(keys_[row], keys_[row - 1]);
  selected_[0] = row - 1;
  return true;
}

bool TableViewControllerDB::MoveDown() {
  if (!Buttons().moveDown) return false;
  const std::size_t row = selected_[0];
  std::swap(names_[row], names_[row + 1]);
  std::swap(keys_[row], keys_[row + 1]);
  selected_[0] = row + 1;
  return true;
}

bool TableViewControllerDB::MoveTo(std::size_t from, std::size_t to) {
  if (from >= keys_.size() || to >= keys_.size()) return false;
  std::string name = std::move(names_[from]);
  std::string key = std::move(keys_[from]);
  names_.erase(names_.begin() + static_cast<long>(from));
  keys_.erase(keys_.begin() + static_cast<long>(from));
  names_.insert(names_.begin() + static_cast<long>(to), std::move(name));
  keys_.insert(keys_.begin() + static_cast<long>(to), std::move(key));
  selected_ = {to};
  return true;
}

std::vector<std::string> TableViewControllerDB::DefaultKeys() const {
  std::vector<std::string> keys;
  if (data_ == nullptr || data_->PPD() == nullptr) return keys;
  PPDXShortcuts* shortcuts = data_->PPD()->GetShortcuts();
  if (shortcuts == nullptr) return keys;
  for (PPDXControl* c = shortcuts->First(); c != nullptr; c = shortcuts->Next()) {
    if (c->Keyword() == nullptr || !data_->IsValidBasicPanelControl(c) ||
        data_->dmtHides(c->Keyword())) {
      continue;
    }
    if (std::find(keys.begin(), keys.end(), c->Keyword()) != keys.end()) continue;
    keys.emplace_back(c->Keyword());
    if (keys.size() == PPDTree::kMaxShortcuts) break;
  }
  return keys;
}

void TableViewControllerDB::Defaults() {
  names_.clear();
  keys_.clear();
  for (const std::string& key : DefaultKeys()) {
    PPDXControl* control = data_->PPD()->GetPPDXControlForKey(key);
    names_.push_back(control != nullptr ? control->CFStringUserName() : key);
    keys_.push_back(key);
  }
  Deselect();
}

bool TableViewControllerDB::OK() {
  tree_.shortcuts.clear();
  for (const std::string& key : keys_) {
    const auto it = dictionary_.find(key);
    if (it == dictionary_.end()) continue;
    if (!tree_.AddShortcut(it->second, key)) break;
  }
  if (tree_.shortcuts.empty()) {
    Defaults();
    for (std::size_t i = 0; i < keys_.size(); ++i) tree_.AddShortcut(names_[i], keys_[i]);
  } else {
    names_.clear();
    keys_.clear();
    for (const PPDTreeShortcut& s : tree_.shortcuts) {
      names_.push_back(s.name);
      keys_.push_back(s.keyword);
    }
  }
  const bool stored = data_ == nullptr || data_->SetPPDShortcuts(tree_);
  if (pane_ != nullptr) pane_->DrawControlsInTree(tree_);
  savedNames_ = names_;
  savedKeys_ = keys_;
  Deselect();
  return stored;
}

void TableViewControllerDB::Cancel() {
  names_ = savedNames_;
  keys_ = savedKeys_;
  Deselect();
}
