#include <cstdlib>
#include <memory>
#include <string>

#include "foundation/ProcessGlobals.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "platform/SystemInfo.h"
#include "ppddata/CupsPPD.h"
#include "ppddata/KRPDEData.h"
#include "ppddata/PPDDataBlock.h"
#include "ppddata/PopupJnRecord.h"

namespace {

constexpr char kPopupJnDataKey[] = "KRPopupJnData";
constexpr char kPopupJnDataCommand[] = "command_PopupJnData";

}  // namespace

int KRPDEDataWrite(char const* /*name*/, char const* text) {
  if (text == nullptr) return -1;
  const std::string& ppd_path = Globals().currentPPDPath;
  if (ppd_path.empty()) return 1;

  // The stored dictionary must be readable: a PPD that does not open, or a block that is not a
  // dictionary, would otherwise be replaced by a dictionary holding only this user's record.
  quill::CupsPPD ppd(ppd_path);
  if (!ppd) return 2;
  std::size_t size = 0;
  std::unique_ptr<char, decltype(&std::free)> block(ppdxReadData(ppd.get(), kPopupJnDataKey, &size),
                                                    &std::free);
  std::string stored = block ? std::string(block.get(), size) : std::string();
  std::optional<std::string> dictionary =
      quill::UpdatePopupJnDictionary(stored, quill::SystemInfo::UserName(), text);
  if (!dictionary) return 2;

  const quill::Printer* printer = quill::PrintSession::Current().CurrentPrinter();
  if (printer == nullptr) return 3;
  if (!printer->SendCommand(*dictionary, kPopupJnDataCommand)) return 3;
  return 0;
}
