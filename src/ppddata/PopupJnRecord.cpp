#include "ppddata/PopupJnRecord.h"

#include "ppddata/OpenStepPlist.h"

namespace quill {
namespace {

void AddLine(std::string& out, std::string_view text) {
  for (char c : text) out += (c == '\n' || c == '\r') ? ' ' : c;
  out += '\n';
}

}  // namespace

std::string BuildPopupJnRecord(const PopupJobNoteRecord& record) {
  std::string out;
  out += record.enabled ? '1' : '0';
  out += record.accountSettingOne ? '1' : '2';
  out += record.showLast ? '1' : '0';
  for (const PopupJobNoteSlot& slot : record.slots) {
    AddLine(out, slot.keyword);
    AddLine(out, slot.password ? std::string_view() : std::string_view(slot.text));
  }
  return out;
}

std::optional<std::string> UpdatePopupJnDictionary(std::string_view stored, const std::string& user,
                                                   const std::string& record) {
  stored = stored.substr(0, stored.find('\0'));
  OpenStepPlist dictionary = OpenStepPlist::MakeDictionary();
  if (!stored.empty()) {
    std::optional<OpenStepPlist> parsed = OpenStepPlist::Parse(stored);
    if (!parsed || !parsed->IsDictionary()) return std::nullopt;
    dictionary = std::move(*parsed);
  }
  dictionary.Set(user, OpenStepPlist(record));
  return dictionary.ToText();
}

}  // namespace quill
