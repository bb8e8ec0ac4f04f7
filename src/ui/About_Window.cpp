#include "About_Window.h"

TAboutWindow::TAboutWindow(TSystemSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {}
