// JobNotePrompt: the window that asks for the job notes a print needs (an account code, a user
// name, a password) before the job goes out. Each note has a field with the note's character rule
// and length limit, masked for passwords and PINs. OK sets the notes and lets the print go on; it
// is enabled only while every required note has a text. Always switches whether the queue asks at
// print time; Cancel (or Escape) stops the print.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

class NoteField;
class PPDXJobNote;
class QPushButton;

class JobNotePrompt : public QDialog {
  Q_OBJECT

 public:
  // `notes` (not owned) must outlive the window. `always` runs on the Always button (may be empty:
  // no Always button then). `title` "" gives "Accounting".
  JobNotePrompt(std::vector<PPDXJobNote*> notes, std::function<void()> always,
                const QString& title = QString(), QWidget* parent = nullptr);

  // The field of note `index` (in the order given).
  [[nodiscard]] NoteField* Field(std::size_t index) const { return fields_.at(index); }
  [[nodiscard]] QPushButton* OkButton() const { return ok_; }
  [[nodiscard]] QPushButton* CancelButton() const { return cancel_; }
  [[nodiscard]] QPushButton* AlwaysButton() const { return always_; }

  // What a note's field shows after an edit: the characters the note refuses are removed, all of
  // them; a text longer than the note's limit is refused as a whole and `last` comes back.
  [[nodiscard]] static std::string CheckedText(const PPDXJobNote& note, std::string_view edited,
                                               const std::string& last);

 public slots:
  void accept() override;

 private:
  void UpdateOk();

  std::vector<PPDXJobNote*> notes_;
  std::vector<NoteField*> fields_;
  std::vector<std::string> last_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* always_ = nullptr;
};
