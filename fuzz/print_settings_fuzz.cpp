// Arbitrary bytes as a user's saved print settings file: read (or refused) without fault; what is
// read holds no text that could break a line, and writes back and reads again to the same keys.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/PrintSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto settings =
      quill::PrintSettings::FromXML(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!settings) return 0;
  for (const std::string& key : settings->Keys()) {
    if (!quill::PrintSettings::IsAcceptableText(key)) std::abort();
    if (auto text = settings->GetString(key); text && !quill::PrintSettings::IsAcceptableText(*text)) {
      std::abort();
    }
    (void)settings->GetInteger(key);
    (void)settings->GetBoolean(key);
    (void)settings->GetStringArray(key);
  }
  auto again = quill::PrintSettings::FromXML(settings->ToXML());
  if (!again || again->Keys() != settings->Keys()) std::abort();
  return 0;
}
