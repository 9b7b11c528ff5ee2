#include "NoteField.h"

NoteField::NoteField(const QString& name, bool secure, Check check, QWidget* parent)
    : QLineEdit(parent), check_(std::move(check))
{
  setAccessibleName(name);
  if (secure) {
    setEchoMode(QLineEdit::Password);
    // A masked text must not leave through the clipboard or be dropped elsewhere.
    setDragEnabled(false);
  }
  connect(this, &QLineEdit::textEdited, this, &NoteField::OnEdited);
}

void NoteField::OnEdited(const QString& edited)
{
  const QByteArray utf8 = edited.toUtf8();
  const std::string shown = check_ ? check_(std::string_view(utf8.constData(), utf8.size()))
                                   : std::string(utf8.constData(), utf8.size());
  const QString text = QString::fromStdString(shown);
  if (text != edited) {
    // The cursor stays where it was, counted from the end, as the removed characters were before.
    const int fromEnd = edited.size() - cursorPosition();
    setText(text);
    setCursorPosition(qMax(0, text.size() - fromEnd));
  }
  emit accepted(text);
}
