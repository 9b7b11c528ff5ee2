#include "JobNotePrompt.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "NoteField.h"
#include "PanelWindow.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "panel/CustomizePaneController.h"
#include "panel/QuillFeaturesPDE.h"

JobNotePrompt::JobNotePrompt(KRTPPD& ppd, quill::PopupJobNoteWindow& window, QWidget* parent)
    : QDialog(parent),
      window_(window),
      refusal_(new QLabel(this)),
      ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this))
{
  Build(ppd);
}

JobNotePrompt::JobNotePrompt(std::vector<PPDXJobNote*> notes, std::function<void()> always,
                             const QString& title, PanelWindow* dialog)
    : QDialog(dialog),
      owned_(std::make_unique<quill::PopupJobNoteWindow>(*dialog->Panel().getPPDPtr(),
                                                         std::move(notes), title.toStdString())),
      window_(*owned_),
      always_callback_(std::move(always)),
      refusal_(new QLabel(this)),
      ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this))
{
  Build(*dialog->Panel().getPPDPtr());
}

void JobNotePrompt::Build(KRTPPD& ppd)
{
  setWindowTitle(QString::fromStdString(window_.Title()));
  setModal(true);

  auto* form = new QFormLayout;
  const auto& fields = window_.Fields();
  for (std::size_t slot = 0; slot < fields.size(); ++slot) {
    const quill::PopupJobNoteField& field = fields[slot];
    PPDXControl* control = ppd.GetPPDXControlForKey(field.keyword);
    const PPDXJobNote* note = control != nullptr && control->Type() == kJobNoteControl
                                  ? static_cast<const PPDXJobNote*>(control)
                                  : nullptr;
    const QString name = QString::fromStdString(field.label.empty() ? field.keyword : field.label);
    auto* edit = new NoteField(
        name, field.secure,
        [this, slot, note](std::string_view edited) {
          // The note's character rule first (all refused characters go), then the model's limit.
          const std::string allowed = note != nullptr ? CustomizePaneController::FilterText(*note, edited)
                                                      : std::string(edited);
          return window_.SetFieldText(slot, allowed);
        },
        this);
    edit->setText(QString::fromStdString(field.text));
    if (field.maxLength > 0) {
      edit->setPlaceholderText(field.required ? tr("required, up to %1 characters").arg(field.maxLength)
                                              : tr("up to %1 characters").arg(field.maxLength));
      // The hint is read whole: the field is at least as wide as its text.
      edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) +
                            4 * edit->fontMetrics().averageCharWidth());
    }
    connect(edit, &NoteField::accepted, this, &JobNotePrompt::UpdateOk);
    QString label = name;
    label.replace("&", "&&");
    // The first field gets the mnemonic of its label.
    auto* caption = new QLabel((slot == 0 ? "&" : "") + label + ":", this);
    caption->setBuddy(edit);
    form->addRow(caption, edit);
    fields_.push_back(edit);
  }
  refusal_->setAccessibleName(tr("Message"));
  refusal_->setWordWrap(true);

  auto* buttons = new QHBoxLayout;
  if (window_.HasAlways()) {
    always_ = new QPushButton(tr("&Always"), this);
    always_->setCheckable(true);
    always_->setChecked(window_.AlwaysOn());
    always_->setToolTip(tr("Use the saved codes without asking at every print"));
    connect(always_, &QPushButton::clicked, this, [this] {
      window_.Always();
      always_->setChecked(window_.AlwaysOn());
      if (always_callback_) always_callback_();
    });
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
  layout->addWidget(refusal_);
  layout->addLayout(buttons);
  UpdateOk();
}

QString JobNotePrompt::Refusal() const { return refusal_->text(); }

void JobNotePrompt::UpdateOk()
{
  bool ready = true;
  const auto& fields = window_.Fields();
  for (std::size_t slot = 0; slot < fields.size() && slot < fields_.size(); ++slot) {
    if (fields[slot].required && fields_[slot]->text().isEmpty()) ready = false;
  }
  ok_->setEnabled(ready);
}

void JobNotePrompt::accept()
{
  // Enter in an empty required field does not print: the model refuses and says why.
  std::string why;
  if (!window_.OK(&why)) {
    refusal_->setText(QString::fromStdString(why));
    return;
  }
  QDialog::accept();
}

void JobNotePrompt::reject()
{
  if (window_.GetState() == quill::PopupJobNoteWindow::State::kOpen) window_.Cancel();
  QDialog::reject();
}

bool QtPopupJobNotePresenter::Run(quill::PopupJobNoteWindow& window)
{
  if (ppd_ == nullptr) return false;
  JobNotePrompt prompt(*ppd_, window, parent_.data());
  prompt.exec();
  // Closed any other way than OK (the window manager's close button): nothing is printed.
  if (window.GetState() == quill::PopupJobNoteWindow::State::kOpen) window.Cancel();
  return true;
}
