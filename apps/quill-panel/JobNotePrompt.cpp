#include "JobNotePrompt.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "NoteField.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "panel/CustomizePaneController.h"

std::string JobNotePrompt::CheckedText(const PPDXJobNote& note, std::string_view edited,
                                       const std::string& last)
{
  std::string text = CustomizePaneController::FilterText(note, edited);
  if (CustomizePaneController::ExceedsMaxLength(note, text)) return last;
  return text;
}

JobNotePrompt::JobNotePrompt(std::vector<PPDXJobNote*> notes, std::function<void()> always,
                             const QString& title, QWidget* parent)
    : QDialog(parent),
      notes_(std::move(notes)),
      last_(notes_.size()),
      ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this))
{
  setWindowTitle(title.isEmpty() ? tr("Accounting") : title);
  setModal(true);

  auto* form = new QFormLayout;
  for (std::size_t i = 0; i < notes_.size(); ++i) {
    PPDXJobNote* note = notes_[i];
    const QString name = QString::fromStdString(note->CFStringUserName().empty()
                                                    ? std::string(note->Keyword())
                                                    : note->CFStringUserName());
    auto* field = new NoteField(name, note->IsPassword(),
                                [this, i](std::string_view edited) {
                                  last_[i] = CheckedText(*notes_[i], edited, last_[i]);
                                  return last_[i];
                                },
                                this);
    if (note->MaxLength() > 0) {
      field->setPlaceholderText(note->IsRequired() ? tr("required, up to %1 characters").arg(note->MaxLength())
                                                   : tr("up to %1 characters").arg(note->MaxLength()));
    }
    connect(field, &NoteField::accepted, this, &JobNotePrompt::UpdateOk);
    QString label = name;
    label.replace("&", "&&");
    // The first field gets the mnemonic of its label.
    auto* caption = new QLabel((i == 0 ? "&" : "") + label + ":", this);
    caption->setBuddy(field);
    form->addRow(caption, field);
    fields_.push_back(field);
  }

  auto* buttons = new QHBoxLayout;
  if (always) {
    always_ = new QPushButton(tr("&Always"), this);
    always_->setToolTip(tr("Switch whether this queue asks for these notes at every print"));
    connect(always_, &QPushButton::clicked, this, [always] { always(); });
    buttons->addWidget(always_);
  }
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(ok_);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &JobNotePrompt::accept);
  connect(cancel_, &QPushButton::clicked, this, &JobNotePrompt::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("This print needs the following:"), this));
  layout->addLayout(form);
  layout->addLayout(buttons);
  UpdateOk();
}

void JobNotePrompt::UpdateOk()
{
  bool ready = true;
  for (std::size_t i = 0; i < notes_.size(); ++i) {
    if (notes_[i]->IsRequired() && fields_[i]->text().isEmpty()) ready = false;
  }
  ok_->setEnabled(ready);
}

void JobNotePrompt::accept()
{
  UpdateOk();
  if (!ok_->isEnabled()) return;  // Enter in an empty required field does not print
  for (std::size_t i = 0; i < notes_.size(); ++i) {
    notes_[i]->SetCurrentControlWithCFString(last_[i]);
  }
  QDialog::accept();
}
