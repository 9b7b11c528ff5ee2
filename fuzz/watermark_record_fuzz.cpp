// Feeds arbitrary text to the watermark record reader, its hexadecimal text in every language
// form, and the list's stored-line loader and module keys.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "output/KRTWatermark.h"
#include "output/KRTWatermarkList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kLanguages[] = {"English", "Chinese", "Russian", "Japanese", "French"};
  static const char* const kFonts[] = {"Helvetica", "Ryumin-Light-H", "STSong-Light-V"};
  const std::string language = kLanguages[data[0] % 5];
  const std::string font = kFonts[data[0] / 5 % 3];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  KRTWatermark mark(text.c_str());
  const char* hex = mark.GetWMTextInHex(language.c_str(), font.c_str());
  const std::size_t digits = std::strlen(hex);
  if (digits % 2 != 0 || digits > KRTWatermark::kMaxHexText) std::abort();
  if (mark.IsValid()) {
    for (const char c : mark.RecordText() + mark.FontName()) {
      if (static_cast<unsigned char>(c) < 0x20) std::abort();
    }
  }

  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  KRTWatermarkList list;
  (void)list.LoadFromLines(lines);
  (void)list.ApplyModuleSetting("*KR_WATERMARK", lines.front());
  (void)list.ApplyModuleSetting("*KR_WATERMARK_FIRSTPAGEONLY", lines.back());
  list.RestoreSelection(list.Count() - 1 - static_cast<long long>(data[0]), list.Count(), 1);
  (void)list.ModuleSelection(std::nullopt);
  if (list.SelectedIndex() >= list.Count()) std::abort();
  return 0;
}
