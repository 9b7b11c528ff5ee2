// PrinterListFile: the read-only list of printers that ships in the panel bundle
// ("PrinterList.plist" in the bundle's Contents folder), of which the panel needs the PC file
// names its PPDs may carry ("PCFILENAME").
#pragma once

#include <string>
#include <vector>

#include "connection/PropertyListFile.h"

namespace quill {

class PrinterListFile : public PropertyListFile {
 public:
  static constexpr const char* kFileName = "PrinterList.plist";
  static constexpr const char* kPCFileNameKey = "PCFILENAME";

  // Reads "PrinterList.plist" in `contentsDirectory` and keeps its "PCFILENAME" value: a string,
  // or the strings of an array.
  explicit PrinterListFile(const std::string& contentsDirectory);

  // True when the file is a dictionary holding "PCFILENAME".
  [[nodiscard]] bool IsValid() const { return hasPCFileName_; }
  [[nodiscard]] const std::vector<std::string>& PCFileNames() const { return pcFileNames_; }

 private:
  bool hasPCFileName_ = false;
  std::vector<std::string> pcFileNames_;
};

}  // namespace quill
