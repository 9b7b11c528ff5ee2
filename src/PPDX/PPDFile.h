// PPDFile: the PPD file that a parse reads, named by its path.
#pragma once

#include <string>

#include "foundation/FileMac.h"

class PPDFile : public FileMac {
 public:
  explicit PPDFile(std::string path) : FileMac(std::move(path)) {}
};
