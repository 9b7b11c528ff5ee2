// The print half of the filter without a spooler: where the ticket's pieces land in small jobs
// (with and without structure, CUPS-style feature code, CR LF line ends, any split into reads),
// which tickets are refused, and the ticket file's lookup, confinement and deletion.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "PrintJob.h"
#include "TicketFile.h"
#include "TicketInjector.h"
#include "output/PostScriptInjectionSite.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace quill::cqf {
namespace {

namespace fs = std::filesystem;
using Piece = KRTJobTicket::Piece;

// A ticket with a piece for every site, as the panel makes them.
const std::vector<Piece>& FullTicket() {
  static const std::vector<Piece> pieces = {
      {kSiteBareKeyword, "*KRStaple"},
      {kSiteBareKeyword, "*KRPunch"},
      {kSiteBareKeyword, "*Duplex"},
      {kSiteFeature, "%%BeginFeature: *KRStaple 1\nSTAPLE\n%%EndFeature\n"},
      {kSitePageSize, "%%BeginFeature: *PageSize A3\nA3CODE\n%%EndFeature\n"},
      {kSiteLayoutHeader, "%%MacCoreNUp: true\n"},
      {kSiteJobNote, "%%KRTCustom1: hello\n"},
      {kSiteFeature, "WATERMARK\n"},
      {kSiteMailbox, "Library/Caches/KRT/box"},
      {kSiteHeader, "%%KRTDriver\n"},
      {kSitePreParseEnd, "%%EndQuillPreparse1: True\nMARK\n"},
  };
  return pieces;
}

// What each site becomes, for building the expected jobs.
constexpr const char* kHeader = "%%KRTDriver\n";
constexpr const char* kHeaderTail = "%%MacCoreNUp: true\n%%KRMailboxPath: Library/Caches/KRT/box\n";
constexpr const char* kPageSize = "%%BeginFeature: *PageSize A3\nA3CODE\n%%EndFeature\n";
constexpr const char* kSetup =
    "%%BeginFeature: *KRStaple 1\nSTAPLE\n%%EndFeature\n%%KRTCustom1: hello\nWATERMARK\n";
constexpr const char* kMarker = "%%EndQuillPreparse1: True\nMARK\n";

std::string Cat(std::initializer_list<std::string> parts) {
  std::string out;
  for (const auto& part : parts) out += part;
  return out;
}

// Runs `job` through an injector, handed over `step` bytes at a time (0: all at once).
std::string Inject(const std::vector<Piece>& pieces, const std::string& job, size_t step) {
  std::string out;
  std::string error;
  auto injector = TicketInjector::Create(
      pieces,
      [&out](std::string_view data) {
        out += data;
        return true;
      },
      &error);
  EXPECT_TRUE(injector) << error;
  if (!injector) return {};
  if (step == 0) step = job.size() + 1;
  for (size_t at = 0; at < job.size(); at += step) {
    EXPECT_TRUE(injector->Feed(std::string_view(job).substr(at, step)));
  }
  EXPECT_TRUE(injector->Finish());
  return out;
}

struct Case {
  const char* name;
  std::string job;
  std::string want;
};

std::vector<Case> Cases() {
  const std::string pstopsHeader =
      "%!PS-Adobe-3.0\n%%Title: (t)\n%%Pages: (atend)\n%%EndComments\n"
      "%%BeginProlog\n%%EndProlog\n";
  const std::string pages = "%%Page: 1 1\n0 0 moveto\nshowpage\n%%Trailer\n%%EOF\n";
  return {
      {"what pstops writes: suppressed blocks and their wrappers go, the page size is replaced, "
       "other feature code stays",
       pstopsHeader +
           "%%BeginSetup\n"
           "[{\n%%BeginFeature: *KRStaple None\n%%EndFeature\n} stopped cleartomark\n"
           "[{\n%%BeginFeature: *PageSize A4\n<</PageSize[595 842]>>setpagedevice\n%%EndFeature\n"
           "} stopped cleartomark\n"
           "[{\n%%BeginFeature: *KRColorMode Color\nCOLOR\n%%EndFeature\n} stopped cleartomark\n"
           "[{\n%%BeginFeature: *Duplex DuplexNoTumble\n<</Duplex true>> setpagedevice\n"
           "%%EndFeature\n} stopped cleartomark\n"
           "userdict/ESPwl{}bind put\n%%EndSetup\n" +
           pages,
       Cat({"%!PS-Adobe-3.0\n", kHeader, "%%Title: (t)\n%%Pages: (atend)\n", kHeaderTail,
            "%%EndComments\n%%BeginProlog\n%%EndProlog\n%%BeginSetup\n[{\n", kPageSize,
            "} stopped cleartomark\n"
            "[{\n%%BeginFeature: *KRColorMode Color\nCOLOR\n%%EndFeature\n} stopped cleartomark\n"
            "userdict/ESPwl{}bind put\n",
            kSetup, kMarker, "%%EndSetup\n", pages})},
      {"a bare page-size block of the setup is replaced; one in a page stays",
       pstopsHeader +
           "%%BeginSetup\n%%BeginFeature: *PageSize A4\nA4CODE\n%%EndFeature\nS\n%%EndSetup\n"
           "%%Page: 1 1\n%%BeginFeature: *PageSize A5\nA5CODE\n%%EndFeature\nshowpage\n",
       Cat({"%!PS-Adobe-3.0\n", kHeader, "%%Title: (t)\n%%Pages: (atend)\n", kHeaderTail,
            "%%EndComments\n%%BeginProlog\n%%EndProlog\n%%BeginSetup\n", kPageSize, "S\n", kSetup,
            kMarker,
            "%%EndSetup\n%%Page: 1 1\n%%BeginFeature: *PageSize A5\nA5CODE\n%%EndFeature\n"
            "showpage\n"})},
      {"a setup without a page-size block gets the page size first",
       pstopsHeader + "%%BeginSetup\nSETUP\n%%EndSetup\n" + pages,
       Cat({"%!PS-Adobe-3.0\n", kHeader, "%%Title: (t)\n%%Pages: (atend)\n", kHeaderTail,
            "%%EndComments\n%%BeginProlog\n%%EndProlog\n%%BeginSetup\nSETUP\n", kPageSize, kSetup,
            kMarker, "%%EndSetup\n", pages})},
      {"a job without a setup gets one before its first page",
       pstopsHeader + "% a note\n\n" + pages,
       Cat({"%!PS-Adobe-3.0\n", kHeader, "%%Title: (t)\n%%Pages: (atend)\n", kHeaderTail,
            "%%EndComments\n%%BeginProlog\n%%EndProlog\n% a note\n\n%%BeginSetup\n", kPageSize,
            kSetup, kMarker, "%%EndSetup\n", pages})},
      {"a prolog without its end: the setup goes before the first page",
       "%!PS-Adobe-3.0\n%%EndComments\n%%BeginProlog\n/p {} def\n" + pages,
       Cat({"%!PS-Adobe-3.0\n", kHeader, kHeaderTail,
            "%%EndComments\n%%BeginProlog\n/p {} def\n%%BeginSetup\n", kPageSize, kSetup, kMarker,
            "%%EndSetup\n", pages})},
      {"a setup cut short by the first page is closed",
       "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\nS\n" + pages,
       Cat({"%!PS-Adobe-3.0\n", kHeader, kHeaderTail, "%%EndComments\n%%BeginSetup\nS\n",
            kPageSize, kSetup, kMarker, "%%EndSetup\n", pages})},
      {"no structure: the header ends at the first line of code, the setup goes there",
       "%!\n/Helvetica findfont 12 scalefont setfont\nshowpage\n",
       Cat({"%!\n", kHeader, kHeaderTail, "%%BeginSetup\n", kPageSize, kSetup, kMarker,
            "%%EndSetup\n/Helvetica findfont 12 scalefont setfont\nshowpage\n"})},
      {"no \"%!\" line: everything before the first line",
       "showpage\n",
       Cat({kHeader, kHeaderTail, "%%BeginSetup\n", kPageSize, kSetup, kMarker,
            "%%EndSetup\nshowpage\n"})},
      {"a header without %%EndComments ends at the first line that is no header comment",
       "%!PS-Adobe-3.0\n%%Title: x\n%%BeginProlog\n%%EndProlog\n" + pages,
       Cat({"%!PS-Adobe-3.0\n", kHeader, "%%Title: x\n", kHeaderTail,
            "%%BeginProlog\n%%EndProlog\n%%BeginSetup\n", kPageSize, kSetup, kMarker,
            "%%EndSetup\n", pages})},
      {"CR LF line ends are kept and recognised",
       "%!PS-Adobe-3.0\r\n%%EndComments\r\n%%BeginSetup\r\n"
       "[{\r\n%%BeginFeature: *KRPunch 2Hole\r\nPUNCH\r\n%%EndFeature\r\n} stopped cleartomark\r\n"
       "%%EndSetup\r\n%%Page: 1 1\r\nshowpage\r\n",
       Cat({"%!PS-Adobe-3.0\r\n", kHeader, kHeaderTail, "%%EndComments\r\n%%BeginSetup\r\n",
            kPageSize, kSetup, kMarker, "%%EndSetup\r\n%%Page: 1 1\r\nshowpage\r\n"})},
      {"CR line ends",
       "%!PS-Adobe-3.0\r%%EndComments\r%%Page: 1 1\r%%BeginFeature: *KRStaple 1\rX\r"
       "%%EndFeature\rshowpage\r",
       Cat({"%!PS-Adobe-3.0\r", kHeader, kHeaderTail, "%%EndComments\r%%BeginSetup\n", kPageSize,
            kSetup, kMarker, "%%EndSetup\n%%Page: 1 1\rshowpage\r"})},
      {"feature code in the pages: suppressed blocks go, others and lone \"[{\" stay",
       "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\n%%EndSetup\n%%Page: 1 1\n"
       "%%BeginPageSetup\n%%BeginFeature: *KRStaple 1\nX\n%%EndFeature\n"
       "[{\n%%BeginFeature: *InputSlot Tray1\nTRAY\n%%EndFeature\n} stopped cleartomark\n"
       "[{\n1 1 add\n} stopped cleartomark\n%%EndPageSetup\nshowpage\n",
       Cat({"%!PS-Adobe-3.0\n", kHeader, kHeaderTail, "%%EndComments\n%%BeginSetup\n", kPageSize,
            kSetup, kMarker,
            "%%EndSetup\n%%Page: 1 1\n%%BeginPageSetup\n"
            "[{\n%%BeginFeature: *InputSlot Tray1\nTRAY\n%%EndFeature\n} stopped cleartomark\n"
            "[{\n1 1 add\n} stopped cleartomark\n%%EndPageSetup\nshowpage\n"})},
      {"a suppressed block that never ends leaves out nothing past the next structure comment",
       "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\n%%BeginFeature: *KRStaple 1\nX\n"
       "%%EndSetup\n%%Page: 1 1\nshowpage\n",
       Cat({"%!PS-Adobe-3.0\n", kHeader, kHeaderTail, "%%EndComments\n%%BeginSetup\n", kPageSize,
            kSetup, kMarker, "%%EndSetup\n%%Page: 1 1\nshowpage\n"})},
      {"a keyword that only begins like a suppressed one stays",
       "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\n%%BeginFeature: *KRStapleMode X\nY\n"
       "%%EndFeature\n%%EndSetup\n",
       Cat({"%!PS-Adobe-3.0\n", kHeader, kHeaderTail,
            "%%EndComments\n%%BeginSetup\n%%BeginFeature: *KRStapleMode X\nY\n%%EndFeature\n",
            kPageSize, kSetup, kMarker, "%%EndSetup\n"})},
      {"an empty job still carries the whole ticket", "",
       Cat({kHeader, kHeaderTail, "%%BeginSetup\n", kPageSize, kSetup, kMarker, "%%EndSetup\n"})},
      {"a job that ends inside its header, without a line end",
       "%!PS-Adobe-3.0\n%%Title: x",
       Cat({"%!PS-Adobe-3.0\n", kHeader, "%%Title: x\n", kHeaderTail, "%%BeginSetup\n", kPageSize,
            kSetup, kMarker, "%%EndSetup\n"})},
      {"long lines pass whole, and a long first line still gets the header after it",
       "%!PS-Adobe-3.0 " + std::string(9000, 'a') + "\n%%EndComments\n%%Page: 1 1\n" +
           std::string(10000, 'b') + "\n%" + std::string(5000, 'c') + "\r\nshowpage\n",
       Cat({"%!PS-Adobe-3.0 " + std::string(9000, 'a') + "\n", kHeader, kHeaderTail,
            "%%EndComments\n%%BeginSetup\n", kPageSize, kSetup, kMarker,
            "%%EndSetup\n%%Page: 1 1\n" + std::string(10000, 'b') + "\n%" +
                std::string(5000, 'c') + "\r\nshowpage\n"})},
  };
}

TEST(TicketInjector, PutsEachPieceInItsPlaceWhateverTheReads) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string whole = Inject(FullTicket(), c.job, 0);
    EXPECT_EQ(whole, c.want);
    // Every split of the job into reads gives the same output, a CR LF or a "%%BeginFeature"
    // line cut in two included.
    for (size_t step : {1u, 2u, 3u, 5u, 17u, 4096u}) {
      EXPECT_EQ(Inject(FullTicket(), c.job, step), whole) << "reads of " << step << " bytes";
    }
  }
}

TEST(TicketInjector, WithoutPiecesTheJobIsUnchangedButForItsSetup) {
  // An empty ticket still gives a job without a setup an (empty) one; a job with one is kept.
  const std::string job =
      "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\n[{\n%%BeginFeature: *KRStaple 1\nX\n"
      "%%EndFeature\n} stopped cleartomark\n%%EndSetup\n%%Page: 1 1\nshowpage\n";
  EXPECT_EQ(Inject({}, job, 0), job);
  EXPECT_EQ(Inject({}, job, 1), job);
}

TEST(TicketInjector, PiecesWithoutALineEndGetOne) {
  const std::vector<Piece> pieces = {{kSiteHeader, "%%KRTDriver"},
                                     {kSiteFeature, "FEATURE"},
                                     {kSitePreParseEnd, "MARK"}};
  EXPECT_EQ(Inject(pieces, "%!PS-Adobe-3.0\n%%EndComments\n%%BeginSetup\n%%EndSetup\n", 0),
            "%!PS-Adobe-3.0\n%%KRTDriver\n%%EndComments\n%%BeginSetup\nFEATURE\nMARK\n%%EndSetup\n");
}

TEST(TicketInjector, RefusesPiecesItCannotPlaceSafely) {
  const struct {
    std::vector<Piece> pieces;
    const char* reason;
  } cases[] = {
      {{{55, "X"}}, "site 55"},
      {{{kSiteMailbox, "Library/Caches/KRT/box\nshowpage"}}, "mailbox path"},
      {{{kSiteMailbox, std::string("box\0x", 5)}}, "mailbox path"},
      {{{kSiteBareKeyword, "*"}}, "keyword"},
      {{{kSiteBareKeyword, ""}}, "keyword"},
      {{{kSiteBareKeyword, "*KR Staple"}}, "keyword"},
  };
  for (const auto& c : cases) {
    std::string error;
    const bool made =
        TicketInjector::Create(c.pieces, [](std::string_view) { return true; }, &error).has_value();
    EXPECT_FALSE(made) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(TicketInjector, StopsWhenTheOutputFails) {
  std::string error;
  int calls = 0;
  auto injector = TicketInjector::Create(
      FullTicket(),
      [&calls](std::string_view) {
        ++calls;
        return false;
      },
      &error);
  ASSERT_TRUE(injector);
  EXPECT_FALSE(injector->Feed("%!PS-Adobe-3.0\n%%EndComments\n"));
  EXPECT_FALSE(injector->Feed("showpage\n"));
  EXPECT_FALSE(injector->Finish());
  EXPECT_EQ(calls, 1);
}

// The ticket file: looked up in the job's options, confined to the cache folder, deleted once read.
class TicketFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Paths::SetRoot(dir_.path().string());
    fs::create_directories(dir_.path() / "Library/Caches/KRT/.quill-cqf");
  }
  void TearDown() override { Paths::ResetRoot(); }

  static std::string Options(const std::string& path) {
    return "job-uuid=urn:uuid:1 " + CreatePostscriptDataFileKey() + "=" + path + " PageSize=A4";
  }
  fs::path Cache() const { return dir_.path() / "Library/Caches/KRT"; }

  quill::testing::TempDir dir_;
};

TEST_F(TicketFileTest, LoadsTheNamedTicketAndDeletesIt) {
  const std::vector<Piece> pieces = {{kSiteHeader, "%%KRTDriver\n"}, {kSiteBareKeyword, "*KRStaple"}};
  dir_.Write("Library/Caches/KRT/Quill.tempA", *KRTJobTicket::Serialise(pieces));
  for (const std::string& named :
       std::vector<std::string>{"/Library/Caches/KRT/Quill.tempA", (Cache() / "Quill.tempA").string(), "Quill.tempA"}) {
    dir_.Write("Library/Caches/KRT/Quill.tempA", *KRTJobTicket::Serialise(pieces));
    const TicketLookup got = LoadJobTicket(Options(named), "");
    EXPECT_EQ(got.status, TicketLookup::Status::kLoaded) << named << ": " << got.error;
    EXPECT_EQ(got.pieces, pieces);
    EXPECT_FALSE(fs::exists(Cache() / "Quill.tempA")) << named;
  }
  EXPECT_EQ(LoadJobTicket("PageSize=A4 copies=2", "7").status, TicketLookup::Status::kNone);
}

TEST_F(TicketFileTest, ARetriedJobReadsItsKeptTicket) {
  const std::vector<Piece> pieces = {{kSiteHeader, "%%KRTDriver\n"}};
  dir_.Write("Library/Caches/KRT/Quill.tempR", *KRTJobTicket::Serialise(pieces));
  const std::string options = Options("/Library/Caches/KRT/Quill.tempR");
  for (int attempt = 0; attempt < 2; ++attempt) {
    const TicketLookup got = LoadJobTicket(options, "12");
    EXPECT_EQ(got.status, TicketLookup::Status::kLoaded) << attempt << ": " << got.error;
    EXPECT_EQ(got.pieces, pieces);
    EXPECT_FALSE(fs::exists(Cache() / "Quill.tempR"));
  }
  // Another job naming the same ticket does not get it.
  EXPECT_EQ(LoadJobTicket(options, "13").status, TicketLookup::Status::kRefused);

  // Kept tickets go after a day, on the next print.
  const fs::path kept = Cache() / ".quill-cqf/jobs/12-Quill.tempR";
  ASSERT_TRUE(fs::exists(kept));
  fs::last_write_time(kept, fs::file_time_type::clock::now() - std::chrono::hours(25));
  EXPECT_EQ(LoadJobTicket(options, "12").status, TicketLookup::Status::kRefused);
  EXPECT_FALSE(fs::exists(kept));
}

TEST_F(TicketFileTest, RefusesTicketsThatCannotBeUsed) {
  const std::string good = *KRTJobTicket::Serialise({{kSiteHeader, "%%KRTDriver\n"}});
  fs::create_directories(dir_.path() / "elsewhere");
  const std::string outside = dir_.Write("elsewhere/Quill.tempX", good);
  const struct {
    const char* name;
    const char* content;  // null: no file
    std::string named;
    const char* reason;
  } cases[] = {
      {"Quill.tempM", nullptr, "/Library/Caches/KRT/Quill.tempM", "is missing"},
      {"Quill.tempT", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>501",
       "/Library/Caches/KRT/Quill.tempT", "not a job ticket"},
      {"Quill.tempE", "", "/Library/Caches/KRT/Quill.tempE", "not a job ticket"},
      {"Quill.tempN", "%!PS-Adobe-3.0\n", "/Library/Caches/KRT/Quill.tempN", "not a job ticket"},
      {"Quill.tempO",
       "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>501</integer></array></plist>",
       "/Library/Caches/KRT/Quill.tempO", "not a job ticket"},
      {nullptr, nullptr, "/Library/Caches/KRT/../../../elsewhere/Quill.tempX", "refused"},
      {nullptr, nullptr, outside, "refused"},
      {nullptr, nullptr, "../elsewhere/Quill.tempX", "refused"},
      {nullptr, nullptr, "", "refused"},
      {nullptr, nullptr, "/Library/Caches/KRT/.quill-cqf/state", "refused"},
  };
  for (const auto& c : cases) {
    if (c.content != nullptr) dir_.Write(std::string("Library/Caches/KRT/") + c.name, c.content);
    const TicketLookup got = LoadJobTicket(Options("'" + c.named + "'"), "7");
    EXPECT_EQ(got.status, TicketLookup::Status::kRefused) << c.named;
    EXPECT_NE(got.error.find(c.reason), std::string::npos) << got.error;
    if (c.name != nullptr) {
      EXPECT_FALSE(fs::exists(Cache() / c.name)) << c.name;
      EXPECT_FALSE(fs::exists(Cache() / ".quill-cqf/jobs" / (std::string("7-") + c.name)));
    }
  }
  EXPECT_TRUE(fs::exists(outside));  // never deleted outside the cache folder

  // A link in the cache folder is removed, never what it points to.
  fs::create_symlink(outside, Cache() / "Quill.tempL");
  const TicketLookup link = LoadJobTicket(Options("/Library/Caches/KRT/Quill.tempL"), "7");
  EXPECT_EQ(link.status, TicketLookup::Status::kRefused);
  EXPECT_FALSE(fs::is_symlink(Cache() / "Quill.tempL"));
  EXPECT_TRUE(fs::exists(outside));
}

TEST_F(TicketFileTest, StreamJobWritesNothingForARefusedTicket) {
  const std::string job = dir_.Write("job.ps", "%!PS-Adobe-3.0\nshowpage\n");
  const std::string out = (dir_.path() / "out.ps").string();
  const int in = open(job.c_str(), O_RDONLY);
  const int to = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(in, 0);
  ASSERT_GE(to, 0);
  const std::vector<Piece> bad = {{77, "X"}};
  std::string error;
  EXPECT_FALSE(StreamJob(in, to, &bad, &error));
  EXPECT_NE(error.find("site 77"), std::string::npos) << error;
  close(in);
  close(to);
  EXPECT_EQ(fs::file_size(out), 0u);
}

}  // namespace
}  // namespace quill::cqf
