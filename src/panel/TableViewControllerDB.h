// TableViewControllerDB: the chosen side of the quick-access customisation dialog: the options the
// pane shows, in order, and the dialog's buttons (add, remove, move up, move down, defaults, OK,
// cancel). A front end shows ChosenNames() as the table, forwards the selection and the buttons,
// and enables the buttons as Buttons() says. OK replaces the panel tree's quick-access entries,
// stores them for the queue and redraws the pane; Cancel discards every change since Open().
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class CustomizePaneController;
class PDEData;
struct PPDTree;

class TableViewControllerDB {
 public:
  struct ButtonStates {
    bool add = false;
    bool remove = false;
    bool moveUp = false;
    bool moveDown = false;
    bool defaults = true;
    bool ok = true;
    bool cancel = true;
  };

  // `tree` is the panel tree; `data` (may be null: nothing is stored, nothing hidden) the
  // session; `pane` (may be null) is redrawn on OK. All must outlive the controller.
  TableViewControllerDB(PPDTree& tree, PDEData* data, CustomizePaneController* pane = nullptr);

  // Rebuilds the keyword -> display name dictionary from the tree's groups, loads the chosen
  // list from the tree's quick-access entries and keeps a copy of it for Cancel. Clears both
  // selections.
  void Open();

  [[nodiscard]] const std::vector<std::string>& ChosenNames() const { return names_; }
  [[nodiscard]] const std::vector<std::string>& ChosenKeys() const { return keys_; }
  // The display name of a keyword of the tree's groups, or "" for one the tree does not offer.
  [[nodiscard]] std::string DisplayName(const std::string& keyword) const;

  // The selected rows of the chosen table; rows out of range are dropped, duplicates kept once.
  void SelectChosenRows(std::vector<std::size_t> rows);
  [[nodiscard]] const std::vector<std::size_t>& SelectedChosenRows() const { return selected_; }
  // Whether rows of the available list are selected (the add button's rule).
  void SetAvailableSelected(bool any) { availableSelected_ = any; }

  [[nodiscard]] ButtonStates Buttons() const;

  // Appends, in order, each key not yet chosen and offered by the tree. The list holds at most
  // PPDTree::kMaxShortcuts entries: keys beyond it are refused, and `why` (when given) says so;
  // false then (the keys that fit are still added). Clears both selections.
  bool Add(const std::vector<std::string>& keys, std::string* why = nullptr);
  // Removes the selected rows; clears the selection.
  void Remove();
  // With exactly one row selected, exchanges it with the row above (below); it stays selected.
  // False when the move is not possible.
  bool MoveUp();
  bool MoveDown();
  // Moves row `from` to position `to` (both from 0, `to` counted in the list without the row),
  // as a drag does; the moved row becomes the selection. False when out of range.
  bool MoveTo(std::size_t from, std::size_t to);
  // The PPD's own shortcuts that the quick-access pane accepts and device management does not
  // hide, in the PPD's order.
  void Defaults();
  // Replaces the tree's quick-access entries by the chosen keys that the tree offers (the PPD's
  // shortcuts when none is left, which then fill the chosen list too), stores them for the queue
  // and redraws the pane. False when storing failed (the tree is replaced anyway).
  bool OK();
  // Restores the chosen list taken by Open(); nothing is stored.
  void Cancel();

 private:
  void Deselect();
  std::vector<std::string> DefaultKeys() const;

  PPDTree& tree_;
  PDEData* data_;
  CustomizePaneController* pane_;
  std::map<std::string, std::string> dictionary_;  // keyword -> display name
  std::vector<std::string> names_;
  std::vector<std::string> keys_;
  std::vector<std::string> savedNames_;
  std::vector<std::string> savedKeys_;
  std::vector<std::size_t> selected_;
  bool availableSelected_ = false;
};
