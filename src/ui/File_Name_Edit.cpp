#include "File_Name_Edit.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

TFileNameEdit::TFileNameEdit(const QString& dialogTitle, const QString& filter, QWidget* parent)
    : QWidget(parent), title_(dialogTitle), filter_(filter) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  edit_ = new QLineEdit(this);
  button_ = new QToolButton(this);
  button_->setText(QStringLiteral("..."));
  row->addWidget(edit_, 1);
  row->addWidget(button_);
  connect(button_, &QToolButton::clicked, this, &TFileNameEdit::browse);
}

QString TFileNameEdit::fileName() const { return edit_->text(); }

void TFileNameEdit::setFileName(const QString& path) { edit_->setText(path); }

void TFileNameEdit::browse() {
  QString start = initialDirectory_;
  if (!edit_->text().isEmpty()) start = QFileInfo(edit_->text()).absolutePath();
  QFileDialog dialog(this, title_, start, filter_);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setViewMode(QFileDialog::Detail);
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    edit_->setText(dialog.selectedFiles().first());
}
