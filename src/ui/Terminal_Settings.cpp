#include "Terminal_Settings.h"

TTerminalSettings::TTerminalSettings(TSystemSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {}
