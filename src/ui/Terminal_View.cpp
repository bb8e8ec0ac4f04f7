#include "Terminal_View.h"

#include "System_Terminal.h"

TTerminalView::TTerminalView(QWidget* parent) : QWidget(parent) {}

TTerminalView::~TTerminalView() { setTerminal(nullptr); }

void TTerminalView::setTerminal(TSystemTerminal* terminal) {
  if (terminal_ != nullptr) terminal_->setRepaintHandler({});
  terminal_ = terminal;
}
