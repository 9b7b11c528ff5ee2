// Feeds arbitrary text to the device-management document readers: the three section parsers,
// the entity decoder, the hidden and locked tests and the token helpers. The first line of the
// input is also used as the keyword that is asked about. Run with -close_fd_mask=2: the parsers
// report what they read on standard error.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "server/CUtil.h"
#include "server/DeviceManagement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string keyword = text.substr(0, text.find('\n'));
  const std::wstring wide = CUtil::widen(text);

  DMTKeyValueMap map;
  (void)CUtil::GetControlKeyValFromDMTXmlData(wide, map);
  (void)CUtil::GetLockedKeyValFromDMTXmlData(wide, map);
  (void)CUtil::GetHiddenKeyValFromDMTXmlData(wide, map);
  for (const auto& [key, value] : map) {
    for (const wchar_t c : key + value) {
      if (c < 0x20) std::abort();  // a control character must never be taken
    }
  }
  (void)CUtil::DecodeXMLText(wide);

  const char* c_text = text.c_str();  // the document as the parser keeps it, up to a NUL
  (void)quill::dmtHides(c_text, keyword.c_str());
  (void)quill::dmtLocks(c_text, keyword.c_str());
  std::vector<std::string> keys;
  (void)quill::fetchHiddenKeysFromDMTXML(c_text, keys);
  auto any = [](std::string_view k) { return k.size() % 2 == 0; };
  (void)quill::dmtNonPPDDefaults(c_text, any, any);

  int count = 0;
  wchar_t** tokens = CUtil::tockenizeWstring(&count, wide.c_str(), L"\n,");
  CUtil::deallocTwoDimenArray(tokens, count);
  if (wchar_t* line = CUtil::findLineWithKey(L"Tray", wide.c_str(), L"\n")) std::free(line);
  (void)CUtil::wtoi(wide.c_str());
  return 0;
}
