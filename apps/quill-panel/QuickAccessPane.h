// QuickAccessPane: draws the quick-access entries of the pane controller as widgets (an icon, a
// caption and a pop-up, check box or job-note field each, in two columns) and forwards the user's
// choices to the controller. After every change it redraws the state the controller re-checked:
// forbidden pop-up items greyed with a tool tip naming the choice that forbids them, forbidden
// check boxes disabled likewise.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class CustomizePaneController;
class KRTPPD;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class NoteField;

class QuickAccessPane : public QWidget {
  Q_OBJECT

 public:
  // `pane` and `ppd` must outlive the widget.
  QuickAccessPane(CustomizePaneController& pane, KRTPPD& ppd, QWidget* parent = nullptr);

  // New widgets for the controller's entries (after the entries were rebuilt).
  void Rebuild();
  // Every widget takes the controller's current state (enabled state, items, tool tips,
  // selection, check state, icon).
  void Refresh();

  // The control of entry `tag` (QComboBox, QCheckBox or NoteField); null for an unknown tag.
  [[nodiscard]] QWidget* ControlForTag(int tag) const;
  // The control of the entry with that keyword (e.g. "*Duplex"); null when not drawn.
  [[nodiscard]] QWidget* ControlForKeyword(const std::string& keyword) const;
  // The tool tip of a pop-up item that the constraints forbid: what forbids it, in display
  // names, with the option and choice keywords. "" when nothing single can be named.
  [[nodiscard]] QString ForbiddenToolTip(const std::string& forbidding) const;
  // The tool tip of a check box: what forbids its other value when it is greyed, else "".
  [[nodiscard]] QString CheckBoxToolTip(const QWidget* box) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // A choice went into the option tree.
  void changed();

 private:
  struct Row {
    int tag = 0;
    std::string keyword;
    QLabel* icon = nullptr;
    QLabel* caption = nullptr;
    QWidget* control = nullptr;
    std::string iconPath;  // the icon shown (loaded again only when it changes)
  };
  void OnPopupActivated(int tag, int index);
  void OnCheckBoxToggled(int tag, bool on);
  std::string CheckNoteText(int tag, std::string_view typed);
  void RefreshRow(Row& row);

  CustomizePaneController& pane_;
  KRTPPD& ppd_;
  QGridLayout* grid_;
  std::vector<Row> rows_;
  int editingTag_ = -1;
};
