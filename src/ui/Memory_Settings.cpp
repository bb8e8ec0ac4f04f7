#include "Memory_Settings.h"

TMemorySettings::TMemorySettings(TMachine& machine, TSystemSettings& settings, TMemoryEditor* editor, QWidget* parent)
    : QDialog(parent), machine_(machine), settings_(settings), editor_(editor) {}
