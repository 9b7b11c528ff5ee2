#include "output/JobTicket.h"

#include <strings.h>

#include <charconv>
#include <cstdint>
#include <limits>

#include "platform/PrintSettings.h"

namespace {

// Entries that never go into the print settings from the option values.
constexpr const char* kNeverWritten[] = {"*KRSpotPriority", "*KRGrayOverride"};

bool never_written(const std::string& key) {
  for (const char* skipped : kNeverWritten) {
    if (strcasecmp(key.c_str(), skipped) == 0) return true;
  }
  return false;
}

bool fits_32_bits(int64_t number) {
  return number >= std::numeric_limits<int32_t>::min() &&
         number <= std::numeric_limits<int32_t>::max();
}

}  // namespace

JobTicket::JobTicket(quill::PrintSession* session, quill::PrintSettings* settings)
    : session_(session), settings_(settings) {}

JobTicket::~JobTicket() = default;

int JobTicket::Get(const std::string& key, int& value) const {
  if (settings_ == nullptr) return kNoSettings;
  if (!settings_->Contains(key)) return kNotFound;
  if (std::optional<int64_t> number = settings_->GetInteger(key)) {
    if (!fits_32_bits(*number)) return 0;
    value = static_cast<int>(*number);
    return 1;
  }
  if (std::optional<std::string> text = settings_->GetString(key)) {
    int32_t parsed = 0;
    const char* end = text->data() + text->size();
    auto [at, ec] = std::from_chars(text->data(), end, parsed);
    if (ec != std::errc() || at != end || text->empty()) return 0;
    value = parsed;
    return 1;
  }
  return 0;
}

void JobTicket::Set(const std::string& /*unused1*/, const std::string& /*unused2*/,
                    const std::map<std::string, std::string>& values) {
  if (settings_ == nullptr) return;
  for (const auto& [key, value] : values) {
    if (never_written(key)) continue;
    settings_->SetString(key, value);
  }
}
