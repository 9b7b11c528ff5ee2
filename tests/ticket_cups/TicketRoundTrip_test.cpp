// The job ticket of a sample print on the private CUPS server: handed to the spooler-side filter
// by its two command jobs, the file the filter writes is the ticket, byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobNoteList.h"
#include "output/KRTJobTicket.h"
#include "platform/Paths.h"
#include "platform/PrintSettings.h"
#include "platform/Printer.h"
#include "security/KeyMaterial.h"
#include "support/CupsServer.h"
#include "support/TempDir.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits up to 60 s for `path` to hold `size` bytes; its contents then (or what is there).
std::string WaitForFile(const fs::path& path, size_t size) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::error_code ec;
  while (std::chrono::steady_clock::now() < deadline) {
    if (fs::exists(path, ec) && fs::file_size(path, ec) == size) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return ReadFile(path);
}

// The test keys: job-note key bytes 0..239, vectors 0x80.., master key 0x40...
void WriteKeys(const fs::path& root) {
  fs::create_directories(root / "etc/quill");
  std::ofstream keys(root / "etc/quill/keys");
  auto line = [&keys](const char* name, size_t count, int first) {
    keys << name << " = ";
    char digits[3];
    for (size_t i = 0; i < count; ++i) {
      std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>((first + i) & 0xFF));
      keys << digits;
    }
    keys << "\n";
  };
  line("job-note-keys", 240, 0);
  line("job-note-vectors", 96, 0x80);
  line("token-master-key", 32, 0x40);
}

struct PPDRelease {
  void operator()(KRTPPD* ppd) const { ppd->Release(); }
};

TEST(TicketRoundTrip, FilterWritesTheTicketThePanelBuilt) {
  CupsServer& server = CupsServer::Shared();
  std::string error;
  Printer printer("tickets");
  if (!printer.Exists()) {
    ASSERT_TRUE(server.AddQueue("tickets", FixturePath("JobNotes.ppd"), &error)) << error;
  }
  WriteKeys(server.QuillRoot());
  KeyMaterial::Reload();

  // The queue's PPD as printing reads it, with the user's notes.
  const std::string ppd_path = printer.CopyPPD(&error);
  ASSERT_FALSE(ppd_path.empty()) << error;
  ResetProcessGlobals();
  std::unique_ptr<KRTPPD, PPDRelease> ppd(new KRTPPD(ppd_path, 3));
  fs::remove(ppd_path);
  auto note = [&](const char* keyword) {
    return static_cast<PPDXJobNote*>(ppd->GetControls()->FindJobNote(keyword, true));
  };
  ASSERT_NE(note("*Notes1"), nullptr);
  note("*Notes1")->SetNotes("deliver to room 4 (east)");
  note("*DeptPassword")->SetNotes("1234");
  note("*KRUserAuthName")->SetNotes("dom/:anna");
  note("*KRUserAuthPwd")->SetNotes("secret");
  note("*KRNote")->SetNotes("A(B)");

  PrintSettings settings;
  PrintSettingsTicket settings_ticket(nullptr, &settings);
  KRTJobTicket ticket(&settings_ticket, &settings, CreatePostscriptDataFileKey());
  KRTJobNoteList notes(ppd.get(), false);
  ASSERT_EQ(notes.outInjectionData(&ticket, &settings), KRTJobNoteList::kStatusOk)
      << notes.LastError();
  ticket.SavePPDForAllKeys(ppd.get(), "");
  ASSERT_TRUE(ticket.HandToFilter(&printer, &error)) << error;

  const std::string name = ticket.FileName();
  EXPECT_EQ(settings.GetString(CreatePostscriptDataFileKey()), name);
  const std::string* xml = ticket.XMLData();
  ASSERT_NE(xml, nullptr);
  const fs::path written = server.QuillRoot() / name.substr(1);
  EXPECT_EQ(WaitForFile(written, xml->size()), *xml) << server.ErrorLogTail();
  EXPECT_EQ(KRTJobTicket::Parse(ReadFile(written)), *ticket.Pieces());
}

TEST(TicketRoundTrip, TicketThatCannotBeHandedOverStopsThePrint) {
  CupsServer::Shared();
  Printer nowhere("no-such-queue");
  KRTJobTicket ticket(nullptr, nullptr, CreatePostscriptDataFileKey());
  ticket.Add(kSiteHeader, std::string_view("%%KRTDriver\n"));
  std::string error;
  EXPECT_FALSE(ticket.HandToFilter(&nowhere, &error));
  EXPECT_EQ(error.rfind("cannot hand the job ticket to the filter: Command_PSTempFileName: ", 0),
            0u)
      << error;
}

}  // namespace
}  // namespace quill::testing
