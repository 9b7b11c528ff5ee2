// Arbitrary text as the stored printer preference list: it is read (or refused) without fault,
// every record found can be asked and changed, and a changed record reads back as set.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "connection/KRTMeridiaPrinterPList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::KRTMeridiaPrinterPList list(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> names = list.QueueNames();
  for (const std::string& name : names) {
    (void)list.Find(name);
    (void)list.getIPEnabled(name);
    std::vector<std::string> lines;
    (void)list.GetDataBlob(name, 1, lines);
  }
  if (!names.empty()) {
    const std::string name = names.front();
    const std::vector<std::string> others(names.begin() + 1, names.end());
    list.Add(name, "10.0.0.1", true);
    if (list.Find(name) != "10.0.0.1" || !list.getIPEnabled(name)) std::abort();
    if (list.AddDataBlob(name, 7, {"a", "b"})) {
      std::vector<std::string> lines;
      if (!list.GetDataBlob(name, 7, lines) || lines.size() != 2) std::abort();
    }
  }
  list.Add("fuzz-new-queue", "host", false);
  if (list.Find("FUZZ-NEW-QUEUE") != "host") std::abort();
  return 0;
}
