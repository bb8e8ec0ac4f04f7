// The terminal panel: draws the console's 80 x 24 screen model on the main
// window. The main window creates the panel first; the terminal is handed in
// when the machine is built and taken away (nullptr) before it is destroyed.
#pragma once

#include <QWidget>

class TSystemTerminal;

class TTerminalView : public QWidget {
  Q_OBJECT

 public:
  explicit TTerminalView(QWidget* parent = nullptr);
  ~TTerminalView() override;

  // Connects the panel to the terminal (installs its repaint handler), or
  // disconnects it with nullptr.
  void setTerminal(TSystemTerminal* terminal);
  TSystemTerminal* terminal() const { return terminal_; }

 private:
  TSystemTerminal* terminal_ = nullptr;
};
