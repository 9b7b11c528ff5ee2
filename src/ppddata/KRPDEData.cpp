#include "ppddata/KRPDEData.h"

#include <cstring>
#include <string>

#include "foundation/ProcessGlobals.h"
#include "platform/SystemInfo.h"
#include "ppddata/OpenStepPlist.h"
#include "ppddata/PPDDataBlock.h"

namespace {

constexpr char kPopupJnDataBlock[] = "PopupJnData";

// Length of the longest prefix of `text` that fits `limit` bytes without cutting a UTF-8
// sequence.
std::size_t FitUTF8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace

int KRPDEDataRead(char const* /*name*/, char* out, int* outLen) {
  if (out == nullptr || outLen == nullptr) return -1;
  out[0] = '\0';
  *outLen = 0;
  const std::string& ppd_path = Globals().currentPPDPath;
  if (ppd_path.empty()) return 1;

  std::string key = std::string(quill::kDataBlockKeyPrefix) + kPopupJnDataBlock;
  std::string block = quill::ReadPPDDataBlock(ppd_path, key);
  if (block.empty()) return 0;

  std::string_view text(block.c_str());  // up to the first NUL
  std::optional<quill::OpenStepPlist> plist = quill::OpenStepPlist::Parse(text);
  if (!plist) return 1;
  const quill::OpenStepPlist* entry = plist->Find(quill::SystemInfo::UserName());
  if (entry == nullptr || !entry->IsString()) return 1;

  const std::string& record = entry->String();
  std::size_t length = FitUTF8(record, kKRPDERecordBufferSize - 1);
  std::memcpy(out, record.data(), length);
  out[length] = '\0';
  *outLen = static_cast<int>(length);
  return 0;
}
