#include "QtAlertPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

quill::AlertButton QtAlertPresenter::Show(const quill::AlertText& text)
{
  QMessageBox box(parent_.data());
  box.setIcon(QMessageBox::Warning);
  box.setWindowTitle(QApplication::applicationName());
  box.setText(QString::fromStdString(text.message));
  box.setInformativeText(QString::fromStdString(text.informative));
  box.setAccessibleName(QString::fromStdString(text.message));
  const QString defaultText =
      text.defaultButton.empty() ? QMessageBox::tr("OK") : QString::fromStdString(text.defaultButton);
  QPushButton* defaultButton = box.addButton(defaultText, QMessageBox::AcceptRole);
  QPushButton* alternate = nullptr;
  if (!text.alternateButton.empty()) {
    alternate = box.addButton(QString::fromStdString(text.alternateButton), QMessageBox::RejectRole);
  }
  box.setDefaultButton(defaultButton);
  box.setEscapeButton(alternate != nullptr ? alternate : defaultButton);
  box.exec();
  return alternate != nullptr && box.clickedButton() == alternate ? quill::AlertButton::kAlternate
                                                                  : quill::AlertButton::kDefault;
}
