// A file name field with a browse button: the path can be typed or picked in
// an open-file dialog (existing files only, detail view).
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class TFileNameEdit : public QWidget {
  Q_OBJECT

 public:
  // filter in Qt's form: "Binär Dateien (*.bin *.BIN);;Alle Dateien (*)".
  TFileNameEdit(const QString& dialogTitle, const QString& filter, QWidget* parent = nullptr);

  QString fileName() const;
  void setFileName(const QString& path);
  void setInitialDirectory(const QString& directory) { initialDirectory_ = directory; }
  QLineEdit* lineEdit() const { return edit_; }

 private:
  void browse();

  QString title_;
  QString filter_;
  QString initialDirectory_;
  QLineEdit* edit_;
  QToolButton* button_;
};
