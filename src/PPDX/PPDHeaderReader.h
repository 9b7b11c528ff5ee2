// PPDHeaderReader: reads only the header values of a PPD file (versions, PC file name, language,
// model name, dialog extension) without building its option tree. Tools use it to identify a
// file quickly.
#pragma once

#include <string>
#include <vector>

#include "PPDX/PPDX.h"

class PPDHeaderReader : public PPDX {
 public:
  enum class Result {
    kOk,          // a PPD; its header values are read
    kFileError,   // the file is missing or cannot be read
    kNotPPDFile,  // the first line is not *PPD-Adobe: "4.3"
  };

  // A reader for the file at `path`; with `names`, the PC file name test runs as for any root.
  explicit PPDHeaderReader(const std::string& path,
                           const std::vector<std::string>* names = nullptr);

  // Reads the header values up to the end marker. Clears the process-wide end-marker latch
  // first: each read is of a file of its own.
  Result Read();

  // Read(), for callers that hold the reader as a PPDX.
  void Parse() override { result_ = Read(); }
  [[nodiscard]] Result LastResult() const { return result_; }

 private:
  Result result_ = Result::kFileError;
};
