// Writes the parse benchmark's generated vendor PPDs into a folder, for the whole-process
// comparison (compare_process.py): FOLDER/large.ppd (2,000 pop-ups of 10 options, 400 booleans,
// 100 ranges, 100 job notes, 30,000 constraint lines) and FOLDER/small.ppd (a tenth of it).
#include <cstdio>
#include <fstream>
#include <string>

#include "LargeVendorPPD.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_vendor_ppd FOLDER\n");
    return 2;
  }
  const struct {
    const char* name;
    ppdbench::VendorPPDShape shape;
  } files[] = {{"large.ppd", {2000, 10, 400, 100, 100, 30000}},
               {"small.ppd", {200, 10, 40, 10, 10, 3000}}};
  for (const auto& file : files) {
    const std::string text = ppdbench::MakeVendorPPD(file.shape);
    const std::string path = std::string(argv[1]) + "/" + file.name;
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
