// Fills the job ticket from a small PPD with fuzzed values in every place a value reaches the job
// (a colour-profile name, the profile's job note, the mixed-media and cover tables, the
// watermark record, the mailbox name) and substitutes fuzzed values into option code of every
// mode (string, comment, plain, hex). Aborts when a value could end its line or its PostScript
// string: a feature block must keep exactly one begin line and one end line, and every code line
// must close each string it opens, with no ")" that has no "(".
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobTicket.h"
#include "panel/PDEData.h"
#include "panel/SessionText.h"
#include "platform/Log.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"
#include "platform/SystemInfo.h"

namespace {

namespace fs = std::filesystem;

constexpr char kPPD[] = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*PCFileName: "QUILLFZ.PPD"
*%KRTSpecialOption: *KRUTF8_Version: 7
*%KRTFlags: *PageSize Spooler
*OpenUI *PageSize/Page Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize [595 842]>>setpagedevice"
*CloseUI: *PageSize
*%KRTFlags: *KROutProfile Spooler
*OpenUI *KROutProfile/Output Profile: PickOne
*DefaultKROutProfile: Auto
*KROutProfile Auto/Automatic: "<</KROutProfile (Auto)>> setpagedevice"
*CloseUI: *KROutProfile

*%KRTJobNote: *KROutProfile/Output Profile Name: 255|AnyText

*%KRTFlags: *KRCurveAdjust Spooler
*OpenUI *KRCurveAdjust/Curve: PickOne
*DefaultKRCurveAdjust: Standard
*KRCurveAdjust Standard/Standard: ""
*CloseUI: *KRCurveAdjust
*%KRTFlags: *KRDestination Spooler
*OpenUI *KRDestination/Destination: PickOne
*DefaultKRDestination: File
*KRDestination Print/Print: ""
*KRDestination File/Mailbox: ""
*CloseUI: *KRDestination

*%KRTJobNote: *KRMailboxName/Mailbox: 255|AnyText

*%KRTJobNote: *KRDSPassword/Password: 255|AnyText
*%KRDSPassword: "(<*KRDSPassword>) KRsetdspassword"

*%KRTJobNote: *KRComment/Comment: 255|AnyText
*%KRComment: "%%KRComment: <*KRComment>"

*%KRTJobNote: *KRNote/Note: 255|AnyText
*%KRNote: "(<*KRNote>) KRsetnote"
)PPD";

// One code line: every string it opens closes on it, and no ")" closes a string it never opened.
bool StringsStayClosed(std::string_view line) {
  int depth = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (depth == 0 && c == '%') return true;  // a comment to the end of the line
    if (depth > 0 && c == '\\') {
      ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth < 0) return false;
    }
  }
  return depth == 0;
}

void CheckCode(std::string_view text) {
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = std::min(text.find('\n', from), text.size());
    const std::string_view line = text.substr(from, end - from);
    if (!(line.size() >= 1 && line[0] == '%') && !StringsStayClosed(line)) std::abort();
    from = end + 1;
  }
}

void CheckBlock(std::string_view text) {
  if (text.rfind("%%BeginFeature:", 0) != 0) return;
  int begins = 0, ends = 0;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = std::min(text.find('\n', from), text.size());
    const std::string_view line = text.substr(from, end - from);
    if (line.rfind("%%BeginFeature:", 0) == 0) ++begins;
    if (line == "%%EndFeature") ++ends;
    from = end + 1;
  }
  if (begins != 1 || ends != 1 || text.size() < 13 ||
      text.substr(text.size() - 13) != "%%EndFeature\n") {
    std::abort();
  }
  CheckCode(text);
}

struct Session {
  fs::path dir;
  std::unique_ptr<KRTPPD> ppd;
  std::unique_ptr<PDEData> data;
  quill::PrintSettings settings;

  Session() {
    quill::SetLogSink([](std::string_view) {});
    dir = fs::temp_directory_path() / ("quill-outps-fuzz-" + std::to_string(getpid()));
    fs::create_directories(dir / "home/Library/Preferences");
    fs::create_directories(dir / "run");
    ::setenv("HOME", (dir / "home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    quill::SystemInfo::SetVersion({10, 6});
    std::ofstream(dir / "f.ppd") << kPPD;
    Globals().endOfPPDLatch = false;
    KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
    ppd = std::make_unique<KRTPPD>((dir / "f.ppd").string(), 3);
    data = std::make_unique<PDEData>(ppd.get(), "Fuzz");
    data->SetPrintSettings(&settings);
    (void)data->SetMeridiaPrinterAddress("127.0.0.1", true);
  }
  PPDXJobNote* Note(const char* keyword) const {
    return static_cast<PPDXJobNote*>(ppd->GetControls()->FindJobNote(keyword, true));
  }
  PPDXControl* Popup(const char* keyword) const {
    return ppd->GetControls()->FindPopup(keyword, true);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static Session session;
  // Up to eight values separated by byte 0xFF.
  std::vector<std::string> values;
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] == 0xFF && values.size() < 7) {
      values.push_back(current);
      current.clear();
    } else if (bytes[i] != 0) {
      current += static_cast<char>(bytes[i]);
    }
  }
  values.push_back(current);
  values.resize(8);

  // Substitution into code of every mode.
  static const struct {
    const char* keyword;
    const char* code;
  } kCodes[] = {{"*KRDSPassword", "(<*KRDSPassword>) def\n"},
                {"*KRComment", "%%KRComment: <*KRComment>\n"},
                {"*KRNote", "(<*KRNote>) x <*KRNote>\n"}};
  for (const auto& code : kCodes) {
    PPDXJobNote* note = session.Note(code.keyword);
    if (note == nullptr) std::abort();
    unsigned char* out = nullptr;
    const long length = note->Inject(code.keyword, reinterpret_cast<const unsigned char*>(code.code),
                                     static_cast<long>(std::strlen(code.code)),
                                     values[0].c_str(), out);
    if (out != nullptr) {
      const std::string_view text(reinterpret_cast<char*>(out), static_cast<size_t>(length));
      if (std::count(text.begin(), text.end(), '\n') != 1 || text.back() != '\n') std::abort();
      CheckCode(text);
    }
    std::free(out);
  }

  // The whole ticket.
  PDEData& data = *session.data;
  session.Popup("*KROutProfile")->SetCurrentControlWithCFString(values[1]);
  session.Popup("*KRCurveAdjust")->SetCurrentControlWithCFString(values[2]);
  session.Note("*KROutProfile")->SetNotes(values[3].c_str());
  session.Note("*KRMailboxName")->SetNotes(values[4].c_str());
  data.MixedMedia().Clear();
  data.MixedMedia().Append(quill::WidenUTF8(values[5]), quill::WidenUTF8(values[6]));
  data.CoverPage().Clear();
  data.CoverPage().Append(quill::WidenUTF8(values[6]), quill::WidenUTF8(values[5]));
  data.Watermarks().Clear();
  if (data.Watermarks().Add(values[7].c_str())) data.Watermarks().Select(0);

  KRTJobTicket ticket(nullptr, &session.settings, CreatePostscriptDataFileKey());
  quill::PrintSession no_printer;
  const int status = data.OutPostscriptData(ticket, &no_printer);
  if (status != PDEData::kOutputOk) {
    if (ticket.Pieces() != nullptr || data.OutputError().empty()) std::abort();
    return 0;
  }
  for (const auto& piece : *ticket.Pieces()) {
    if (piece.site == kSiteFeature) {
      CheckBlock(piece.data);
      if (piece.data.rfind("%%KRT Begin Watermark", 0) == 0) CheckCode(piece.data);
    }
    if (piece.site == kSiteMailbox) {
      // Inside the folder: no empty, "." or ".." component, no line end.
      const std::string_view path = piece.data;
      if (path.rfind("Library/Caches/KRT/", 0) != 0 || path.find('\n') != std::string_view::npos) {
        std::abort();
      }
      size_t from = 0;
      while (true) {
        const size_t slash = path.find('/', from);
        const std::string_view part = path.substr(from, slash - from);
        if (part.empty() || part == "." || part == "..") std::abort();
        if (slash == std::string_view::npos) break;
        from = slash + 1;
      }
    }
  }
  return 0;
}
