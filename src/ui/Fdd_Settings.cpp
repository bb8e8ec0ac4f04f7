#include "Fdd_Settings.h"

TFddSettings::TFddSettings(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QDialog(parent), machine_(machine), settings_(settings) {}
