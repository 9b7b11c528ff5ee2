// JobTicket: the base of the tickets that carry a print's choices: it knows the print session
// and the print settings that it reads and writes.
#pragma once

#include <map>
#include <string>

namespace quill {
class PrintSession;
class PrintSettings;
}  // namespace quill

class JobTicket {
 public:
  // Status of Get when the entry is missing (the settings' "key not found").
  static constexpr int kNotFound = -30871;
  // Status of Get without print settings.
  static constexpr int kNoSettings = -50;

  // Neither the session nor the settings are owned; either may be null.
  JobTicket(quill::PrintSession* session, quill::PrintSettings* settings);
  virtual ~JobTicket();
  JobTicket(const JobTicket&) = delete;
  JobTicket& operator=(const JobTicket&) = delete;

  [[nodiscard]] quill::PrintSession* Session() const { return session_; }
  [[nodiscard]] quill::PrintSettings* Settings() const { return settings_; }

  // Reads the entry `key` as a 32-bit integer into `value`. Returns kNoSettings without settings,
  // kNotFound when there is no such entry; otherwise 1 when the entry is a number (or a text
  // holding one whole number) that fits 32 bits, 0 when it is not (value unchanged then).
  int Get(const std::string& key, int& value) const;

  // Writes every pair of `values` into the print settings as a text entry named by the key,
  // except "*KRSpotPriority" and "*KRGrayOverride" (in any case), which never go there. The two
  // strings are not used. Nothing without settings.
  void Set(const std::string& unused1, const std::string& unused2,
           const std::map<std::string, std::string>& values);

 private:
  quill::PrintSession* session_;
  quill::PrintSettings* settings_;
};
