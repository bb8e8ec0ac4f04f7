// The program's version and build, compiled in.
#pragma once

#include <QString>

class TVersionInfo {
 public:
  TVersionInfo();
};
