#include "Version_Info.h"

TVersionInfo::TVersionInfo() = default;
