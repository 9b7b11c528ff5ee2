// Printing with a job ticket through the private cupsd: the ticket is handed to the filter by its
// two command jobs, the job is printed with the ticket key among its options, and what the stand-in
// print server received is checked: Ghostscript runs it without an error, each piece of the ticket
// is there once in its place, the feature code CUPS inserted for a suppressed keyword is gone, and
// so is the ticket file. A ticket that cannot be used stops the job, and nothing reaches the server.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "output/KRTJobTicket.h"
#include "output/PostScriptInjectionSite.h"
#include "platform/Printer.h"
#include "spooler/SpoolerTestSupport.h"
#include "support/CupsServer.h"
#include "support/TempDir.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;
using Piece = KRTJobTicket::Piece;

constexpr const char* kQueue = "print-tickets";
// The sample PPD with the page dimensions that CUPS' PDF conversion needs (without them it makes
// pages of 0 x 0 points, which Ghostscript refuses).
constexpr const char* kPDFQueue = "print-tickets-pdf";

// The options of the sample PPD that CUPS writes feature code for, but the page size.
const char* const kSuppressed[] = {"*KRFinisher", "*KRPrintSize", "*InputSlot", "*KRColorMode",
                                   "*Duplex", "*KRStaple", "*KRPunch", "*KRDisplayJobTracking"};

// A ticket as a print with the sample PPD fills it: A4, greyscale, long-edge duplex, top-left
// staple, a job note, a mailbox; every option but the page size and "*KRMirror" suppressed.
std::vector<Piece> SampleTicket() {
  std::vector<Piece> pieces;
  for (const char* keyword : kSuppressed) pieces.push_back({kSiteBareKeyword, keyword});
  const Piece rest[] = {
      {kSiteFeature, "%%BeginFeature: *KRFinisher FS100\n\n%%EndFeature\n"},
      {kSiteFeature, "%%BeginFeature: *KRSourceAppType QUILL-TEST\n\n%%EndFeature\n"},
      {kSitePageSize,
       "%%BeginFeature: *PageSize A4\n<</PageSize[595 842]/ImagingBBox null>>setpagedevice\n"
       "%%EndFeature\n"},
      {kSiteFeature,
       "%%BeginFeature: *KRColorMode Gray\n<</ProcessColorModel /DeviceGray>> setpagedevice\n"
       "%%EndFeature\n"},
      {kSiteFeature,
       "%%BeginFeature: *Duplex DuplexNoTumble\n<</Duplex true /Tumble false>> setpagedevice\n"
       "%%EndFeature\n"},
      {kSiteFeature,
       "%%BeginFeature: *KRStaple TopLeft\n<</Staple 1 /StapleLocation (TopLeft)>> "
       "setpagedevice\n%%EndFeature\n"},
      {kSiteLayoutHeader, "%%MacCoreNUp: true\n"},
      {kSiteLayoutHeader, "%%Orientation: Portrait\n"},
      {kSiteJobNote, "%%KRTCustom1: deliver to room 4 (east)\n"},
      {kSiteFeature,
       "%%BeginFeature: *KRScale 100\n userdict /VTXKRTsetpageproperties known {  << "
       "/VTXSetKRScale [ 1.00 ] >> VTXKRTsetpageproperties } { /VTXSetKRScale where { pop 1.00 "
       "VTXSetKRScale } if } ifelse \n%%EndFeature\n"},
      {kSiteFeature, "%%BeginFeature: *KRPrintSize SameAsPageSize\n\n%%EndFeature\n"},
      {kSiteMailbox, "Library/Caches/KRT/box-1"},
      {kSiteHeader, "%%KRTDriver\n"},
      {kSitePreParseEnd,
       "%%EndQuillPreparse1: True\n/VTXPPDInsertionComplete where { pop VTXPPDInsertionComplete "
       "} if\n"},
      {kSiteHeader, "%%KRUTF8_Version: 6 \n"},
  };
  pieces.insert(pieces.end(), std::begin(rest), std::end(rest));
  return pieces;
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// Runs a program; its exit status and what it wrote (both streams).
int RunProgram(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, got);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PrintWithTicket : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SharedQueue(kQueue); }

  struct Result {
    int state = 0;
    int jobId = 0;
    std::string received;  // what the print server kept ("" when nothing)
    bool anything = false;  // whether the print server received a document at all
  };

  // Prints `file` with the option `ticketPath` under the ticket key ("" for none).
  static Result Print(const std::string& file, const std::string& ticketPath,
                      const char* queue = kQueue) {
    CupsServer& server = CupsServer::Shared();
    const std::vector<fs::path> before = server.ReceivedJobs();
    cups_option_t* options = nullptr;
    int count = 0;
    if (!ticketPath.empty()) {
      count = cupsAddOption(CreatePostscriptDataFileKey().c_str(), ticketPath.c_str(), count,
                            &options);
    }
    Result result;
    result.jobId = cupsPrintFile(queue, file.c_str(), "ticket test", count, options);
    cupsFreeOptions(count, options);
    EXPECT_GT(result.jobId, 0) << cupsLastErrorString();
    if (result.jobId <= 0) return result;
    result.state = WaitForJobEnd(Printer(queue), result.jobId);
    // The server has the whole document once the job completes; give a failed job's document,
    // should there be one, a moment to arrive.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::seconds(result.state == IPP_JSTATE_COMPLETED ? 30 : 2);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::vector<fs::path> after = server.ReceivedJobs();
      if (after.size() > before.size()) {
        for (const fs::path& path : after) {
          if (std::find(before.begin(), before.end(), path) == before.end()) {
            result.anything = true;
            result.received = ReadFile(path);
          }
        }
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return result;
  }

  // Hands `pieces` to the queue's filter; the ticket path.
  static std::string HandOver(const std::vector<Piece>& pieces, const char* queue = kQueue) {
    KRTJobTicket ticket(nullptr, nullptr, CreatePostscriptDataFileKey());
    for (const Piece& piece : pieces) ticket.Add(piece.site, piece.data);
    std::string error;
    const Printer printer(queue);
    EXPECT_TRUE(ticket.HandToFilter(&printer, &error)) << error;
    // The ticket is there once the command job that writes it has completed.
    const fs::path written = CupsServer::Shared().QuillRoot() / ticket.FileName().substr(1);
    for (int i = 0; i < 600 && !fs::exists(written); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(fs::exists(written)) << CupsServer::Shared().ErrorLogTail();
    return ticket.FileName();
  }

  // Every check of a job printed with SampleTicket().
  static void CheckPrinted(const Result& result, const std::string& ticketPath, int pages) {
    CupsServer& server = CupsServer::Shared();
    ASSERT_EQ(result.state, IPP_JSTATE_COMPLETED) << server.ErrorLogTail(4000);
    ASSERT_TRUE(result.anything) << "the print server received nothing";
    const std::string& ps = result.received;
    ASSERT_EQ(ps.rfind("%!PS-Adobe-3.0", 0), 0u) << ps.substr(0, 200);

    // Ghostscript runs it.
    TempDir dir;
    const std::string path = dir.Write("received.ps", ps);
    std::string gs;
    EXPECT_EQ(RunProgram("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage " + path, &gs), 0) << gs;
    EXPECT_EQ(gs.find("Error"), std::string::npos) << gs;
    EXPECT_EQ(Count(ps, "%%Page: "), static_cast<size_t>(pages));

    // Each piece once, in its place.
    const size_t firstLineEnd = ps.find('\n');
    const size_t endComments = ps.find("%%EndComments");
    const size_t beginSetup = ps.find("%%BeginSetup");
    const size_t endSetup = ps.find("%%EndSetup");
    const size_t firstPage = ps.find("%%Page: ");
    ASSERT_NE(endComments, std::string::npos);
    ASSERT_NE(beginSetup, std::string::npos);
    ASSERT_NE(endSetup, std::string::npos);
    EXPECT_LT(endComments, beginSetup);
    EXPECT_LT(endSetup, firstPage);
    EXPECT_EQ(ps.find("%%KRTDriver\n%%KRUTF8_Version: 6 \n"), firstLineEnd + 1);
    const std::vector<Piece> pieces = SampleTicket();
    for (const Piece& piece : pieces) {
      if (piece.site == kSiteBareKeyword) continue;
      const std::string text = piece.site == kSiteMailbox
                                   ? "%%KRMailboxPath: " + piece.data + "\n"
                                   : piece.data;
      SCOPED_TRACE(text);
      EXPECT_EQ(Count(ps, text), 1u);
      const size_t at = ps.find(text);
      switch (piece.site) {
        case kSiteHeader:
          EXPECT_LT(at, endComments);
          break;
        case kSiteLayoutHeader:
        case kSiteMailbox:
          EXPECT_LT(at, endComments);
          EXPECT_GT(at, firstLineEnd);
          break;
        default:  // the document setup
          EXPECT_GT(at, beginSetup);
          EXPECT_LT(at, endSetup);
          break;
      }
    }
    // The marker closes the setup: after every feature block of it.
    const size_t marker = ps.find("%%EndQuillPreparse1: True\n");
    EXPECT_EQ(ps.find("%%EndFeature", marker), ps.find("%%EndFeature", endSetup));
    EXPECT_EQ(ps.find("%%BeginFeature", marker), ps.find("%%BeginFeature", endSetup));

    // What CUPS wrote for the suppressed keywords is gone, with its wrappers; the rest stays.
    std::string features;
    for (const Piece& piece : pieces) {
      if (piece.site == kSiteFeature || piece.site == kSitePageSize) features += piece.data;
    }
    for (const char* keyword : kSuppressed) {
      const std::string begin = std::string("%%BeginFeature: ") + keyword + " ";
      EXPECT_EQ(Count(ps, begin), Count(features, begin)) << keyword;
    }
    EXPECT_EQ(ps.find("*KRStaple None"), std::string::npos);
    EXPECT_EQ(ps.find("*KRColorMode Color"), std::string::npos);
    EXPECT_EQ(ps.find("[{\n} stopped cleartomark"), std::string::npos);
    EXPECT_EQ(Count(ps, "[{\n"), Count(ps, "} stopped cleartomark"));
    EXPECT_EQ(Count(ps, "%%BeginFeature: *KRMirror False\n"), 1u);

    EXPECT_FALSE(fs::exists(server.QuillRoot() / ticketPath.substr(1)));
  }

  TempDir dir_;
};

// A PostScript document of `pages` pages, as an application writes it.
std::string Document(int pages) {
  std::string ps = "%!PS-Adobe-3.0\n%%Title: (ticket test)\n%%Pages: " + std::to_string(pages) +
                   "\n%%EndComments\n%%BeginProlog\n/F { findfont exch scalefont setfont } bind "
                   "def\n%%EndProlog\n";
  for (int page = 1; page <= pages; ++page) {
    ps += "%%Page: " + std::to_string(page) + " " + std::to_string(page) +
          "\n12 /Helvetica F 72 720 moveto (Page " + std::to_string(page) + ") show showpage\n";
  }
  return ps + "%%EOF\n";
}

TEST_F(PrintWithTicket, PostScriptFile) {
  const std::string file = dir_.Write("doc.ps", Document(2));
  const std::string ticket = HandOver(SampleTicket());
  CheckPrinted(Print(file, ticket), ticket, 2);
}

TEST_F(PrintWithTicket, PDFFileConvertedByCups) {
  const std::string ps = dir_.Write("doc.ps", Document(3));
  const std::string pdf = (dir_.path() / "doc.pdf").string();
  std::string output;
  ASSERT_EQ(RunProgram("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=" + pdf + " " + ps,
                &output),
            0)
      << output;
  if (!Printer(kPDFQueue).Exists()) {
    std::string ppd = ReadFile(ExamplePath("QuillSample.ppd"));
    const std::string anchor = "*CloseUI: *PageSize\n";
    const size_t at = ppd.find(anchor);
    ASSERT_NE(at, std::string::npos);
    ppd.insert(at + anchor.size(),
               "*DefaultImageableArea: A4\n*ImageableArea A4: \"0 0 595 842\"\n"
               "*ImageableArea Letter: \"0 0 612 792\"\n*ImageableArea A3: \"0 0 842 1191\"\n"
               "*ImageableArea SRA3: \"0 0 907 1276\"\n*DefaultPaperDimension: A4\n"
               "*PaperDimension A4: \"595 842\"\n*PaperDimension Letter: \"612 792\"\n"
               "*PaperDimension A3: \"842 1191\"\n*PaperDimension SRA3: \"907 1276\"\n");
    std::string error;
    ASSERT_TRUE(CupsServer::Shared().AddQueue(kPDFQueue, dir_.Write("Sized.ppd", ppd), &error))
        << error;
  }
  const std::string ticket = HandOver(SampleTicket(), kPDFQueue);
  CheckPrinted(Print(pdf, ticket, kPDFQueue), ticket, 3);
}

TEST_F(PrintWithTicket, TwoHundredPages) {
  const std::string file = dir_.Write("long.ps", Document(200));
  const std::string ticket = HandOver(SampleTicket());
  CheckPrinted(Print(file, ticket), ticket, 200);
}

TEST_F(PrintWithTicket, WithoutTicketThePrintIsCupsOwn) {
  const Result result = Print(dir_.Write("doc.ps", Document(1)), "");
  ASSERT_EQ(result.state, IPP_JSTATE_COMPLETED) << CupsServer::Shared().ErrorLogTail();
  EXPECT_EQ(result.received.find("%%KRTDriver"), std::string::npos);
  EXPECT_NE(result.received.find("%%BeginFeature: *KRStaple None"), std::string::npos);
}

TEST_F(PrintWithTicket, UnusableTicketStopsTheJob) {
  CupsServer& server = CupsServer::Shared();
  const Printer printer(kQueue);
  // A ticket written through the two commands, cut short or not a property list at all.
  auto written = [&](std::string_view xml) {
    const std::string name = KRTJobTicket::CreateRandomFileName(KRTJobTicket::kTicketPrefix, nullptr);
    EXPECT_EQ(RunCommand(printer, name, "Command_PSTempFileName"), IPP_JSTATE_COMPLETED);
    EXPECT_EQ(RunCommand(printer, xml, "Command_WritePSTemp"), IPP_JSTATE_COMPLETED);
    return name;
  };
  const std::string full = *KRTJobTicket::Serialise(SampleTicket());
  fs::create_directories(server.QuillRoot() / "elsewhere");
  const std::string outside = (server.QuillRoot() / "elsewhere/Quill.temp1").string();
  std::ofstream(outside) << full;

  const struct {
    const char* name;
    std::string path;
    const char* message;
  } cases[] = {
      {"missing", std::string(KRTJobTicket::kTicketPrefix) + "-never-written", "is missing"},
      {"truncated", written(full.substr(0, full.size() / 2)), "is not a job ticket"},
      {"not a property list", written("%!PS-Adobe-3.0\nshowpage\n"), "is not a job ticket"},
      {"outside the cache folder", outside, "refused job ticket path"},
      {"climbing out", "/Library/Caches/KRT/../../../elsewhere/Quill.temp1",
       "refused job ticket path"},
  };
  const std::string file = dir_.Write("doc.ps", Document(1));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Result result = Print(file, c.path);
    EXPECT_TRUE(result.state == IPP_JSTATE_ABORTED || result.state == IPP_JSTATE_STOPPED)
        << result.state;
    EXPECT_FALSE(result.anything) << result.received.substr(0, 300);
    const std::string log = server.ErrorLogTail(400);
    EXPECT_NE(log.find("[Job " + std::to_string(result.jobId) + "] "), std::string::npos);
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    if (c.path.rfind(KRTJobTicket::kTicketPrefix, 0) == 0) {
      EXPECT_FALSE(fs::exists(server.QuillRoot() / c.path.substr(1)));
    }
  }
  EXPECT_TRUE(fs::exists(outside));
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

// `quill print` fills the ticket with OutPostscriptData on the queue's PPD, with a job note of each
// kind (plain, DES- and AES-enciphered, user authentication): what the server receives holds each
// piece of that ticket once (the ticket of --dry-run, which is made the same way).
TEST_F(PrintWithTicket, QuillPrintWithEveryKindOfJobNote) {
  CupsServer& server = CupsServer::Shared();
  constexpr const char* kNotesQueue = "print-tickets-notes";
  if (!Printer(kNotesQueue).Exists()) {
    std::string error;
    ASSERT_TRUE(server.AddQueue(kNotesQueue, FixturePath("JobNotes.ppd"), &error)) << error;
  }
  WriteKeys(server.QuillRoot());
  const std::string file = dir_.Write("doc.ps", Document(2));
  const std::string args = std::string(" print -d ") + kNotesQueue +
                           " --note Notes1='deliver to room 4' --note DeptPassword=1234"
                           " --note Resume=5678 --note KRUserAuthName=anna"
                           " --note KRUserAuthPwd=secret ";

  std::string dry;
  ASSERT_EQ(RunProgram(CupsServer::QuillPath() + args + "--dry-run " + file, &dry), 0) << dry;
  const size_t options = dry.find("-- job options\n");
  ASSERT_NE(options, std::string::npos) << dry;
  const std::optional<std::vector<Piece>> pieces = KRTJobTicket::Parse(dry.substr(0, options));
  ASSERT_TRUE(pieces) << dry;

  const std::vector<fs::path> before = server.ReceivedJobs();
  std::string printed;
  ASSERT_EQ(RunProgram(CupsServer::QuillPath() + args + file, &printed), 0) << printed;
  const size_t dash = printed.rfind('-');
  ASSERT_EQ(printed.rfind("request id is ", 0), 0u) << printed;
  const int job = std::atoi(printed.c_str() + dash + 1);
  ASSERT_EQ(WaitForJobEnd(Printer(kNotesQueue), job), IPP_JSTATE_COMPLETED)
      << server.ErrorLogTail(300);
  std::string ps;
  for (int i = 0; i < 600 && ps.empty(); ++i) {
    for (const fs::path& path : server.ReceivedJobs()) {
      if (std::find(before.begin(), before.end(), path) == before.end()) ps = ReadFile(path);
    }
    if (ps.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(ps.empty()) << "the print server received nothing";

  std::string gs;
  EXPECT_EQ(RunProgram("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage " +
                           dir_.Write("received.ps", ps),
                       &gs),
            0)
      << gs;
  EXPECT_EQ(gs.find("Error"), std::string::npos) << gs;

  // Each piece as often as the ticket has it (a short piece may also stand inside a longer one).
  std::string placed;
  std::vector<std::string> texts;
  for (const Piece& piece : *pieces) {
    if (piece.site == kSiteBareKeyword) {
      texts.push_back("%%BeginFeature: " + piece.data + " ");
      continue;
    }
    const std::string text =
        piece.site == kSiteMailbox ? "%%KRMailboxPath: " + piece.data + "\n" : piece.data;
    placed += text;
    if (!text.empty()) texts.push_back(text);
  }
  for (const char* kind : {"%%KRTCustom1: deliver to room 4\n", "%%DeptPassword: ",
                           "%%PersPassword: ", "%%KRTUATag: "}) {
    EXPECT_EQ(Count(placed, kind), 1u) << kind;  // the ticket has a note of each kind
  }
  // The user-authentication token differs from one packing to the next: pieces holding it are
  // matched by what comes before it.
  const size_t tag = placed.find("%%KRTUATag: ");
  ASSERT_NE(tag, std::string::npos);
  const std::string token = placed.substr(tag + 12, placed.find('\n', tag) - tag - 12);
  ASSERT_FALSE(token.empty());
  for (std::string text : texts) {
    if (const size_t at = text.find(token); at != std::string::npos) text.resize(at);
    EXPECT_EQ(Count(ps, text), Count(placed, text)) << text;
  }
  const size_t endSetup = ps.find("%%EndSetup");
  const size_t marker = ps.find("%%EndQuillPreparse1: True\n");
  EXPECT_LT(ps.find("%%BeginSetup"), marker);
  EXPECT_LT(marker, endSetup);
  EXPECT_LT(ps.find("%%KRTCustom1: "), endSetup);
  EXPECT_LT(ps.find("%%KRTDriver\n"), ps.find("%%EndComments"));
}

}  // namespace
}  // namespace quill::testing
