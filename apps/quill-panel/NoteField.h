// NoteField: the text field of a job note. Every edit, typed or pasted, goes to a check that gives
// back the text the field must show (the note's character rule and length limit decide; a paste
// is checked as a whole); the field shows that text. Password and PIN notes are masked.
#pragma once

#include <QLineEdit>
#include <functional>
#include <string>
#include <string_view>

class NoteField : public QLineEdit {
  Q_OBJECT

 public:
  // The text the field shows after an edit: the check's answer for the edited text.
  using Check = std::function<std::string(std::string_view edited)>;

  // `name` is the accessible name (the note's display name); `secure` masks the text.
  NoteField(const QString& name, bool secure, Check check, QWidget* parent = nullptr);

 signals:
  // The field's text after a checked edit.
  void accepted(const QString& text);

 private:
  void OnEdited(const QString& edited);

  Check check_;
};
