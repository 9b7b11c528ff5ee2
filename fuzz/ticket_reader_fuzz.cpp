// The job ticket's reader and the job-note output under arbitrary input.
//
// The first byte chooses: even, the input is read as a ticket (KRTJobTicket::Parse); what reads
// must write back to the same pieces. Odd, the rest is a job-note text set on notes of every kind
// of a small PPD; whenever the output accepts it, no header line holds more than its own line
// feed and no feature block more lines than its code gives it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobNoteList.h"
#include "output/KRTJobTicket.h"

namespace {

constexpr char kPPD[] =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*LanguageVersion: English\n"
    "*PCFileName: \"FUZZ.PPD\"\n"
    "*%KRTSpecialOption: *KRTAuthenticateWithLDAP: True\n"
    "*%KRTJobNote: *Notes1/Note 1: 255\n\n"
    "*%KRTJobNote: *KRUserAuthName/User: 64\n\n"
    "*%KRTJobNote: *KRNote/Note: 255\n*%KRNote: \"(<*KRNote>) KRsetnote\"\n"
    "*%KRTJobNote: *KRComment/Comment: 255\n*%KRComment: \"%%KRComment: <*KRComment>\"\n"
    "*%KRTJobNote: *KRDSPassword/DS: 255\n*%KRDSPassword: \"(<*KRDSPassword>) KRsetds\"\n";

KRTPPD* NotesPPD() {
  static KRTPPD* ppd = [] {
    char path[] = "/tmp/quill-ticket-fuzz-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) std::abort();
    if (write(fd, kPPD, sizeof kPPD - 1) != static_cast<ssize_t>(sizeof kPPD - 1)) std::abort();
    close(fd);
    auto* parsed = new KRTPPD(path, 3);
    unlink(path);
    return parsed;
  }();
  return ppd;
}

size_t Lines(const std::string& text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

void ReadTicket(const std::string& xml) {
  auto pieces = KRTJobTicket::Parse(xml);
  if (!pieces) return;
  auto again = KRTJobTicket::Serialise(*pieces);
  if (!again || KRTJobTicket::Parse(*again) != pieces) std::abort();
}

void WriteNotes(const std::string& text) {
  KRTPPD* ppd = NotesPPD();
  PPDXControls* controls = ppd->GetControls();
  for (const char* keyword : {"*Notes1", "*KRUserAuthName", "*KRNote", "*KRComment", "*KRDSPassword"}) {
    static_cast<PPDXJobNote*>(controls->FindJobNote(keyword, true))->SetNotes(text.c_str());
  }
  KRTJobTicket ticket(nullptr, nullptr, CreatePostscriptDataFileKey());
  KRTJobNoteList list(ppd, false);
  if (list.outInjectionData(&ticket, nullptr) != KRTJobNoteList::kStatusOk) {
    if (ticket.Count() != 0) std::abort();  // nothing of a refused output stays
    return;
  }
  for (const auto& piece : *ticket.Pieces()) {
    // Header lines: one line each. Feature blocks: begin line, the code's one line, end line.
    const size_t limit = piece.site == kSiteFeature ? 3 : 1;
    if (Lines(piece.data) > limit) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 1) == 0) {
    ReadTicket(rest);
  } else {
    WriteNotes(rest.substr(0, rest.find('\0')));
  }
  return 0;
}
