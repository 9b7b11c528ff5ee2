// What printing puts into the job ticket: the order of the pieces, the exact texts of the panel's
// own blocks, values that must not break out of their strings or lines, the watermark resource,
// and a check that Ghostscript runs a job made of the pieces (and draws the watermark).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <iterator>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "output/KRTJobTicket.h"
#include "output/KRTWatermark.h"
#include "output/KRTWatermarkPostScript.h"
#include "output/OutputFixtures.h"
#include "output/PostScriptText.h"
#include "panel/PDEData.h"
#include "panel/SessionText.h"
#include "platform/PageFormat.h"
#include "platform/PrintSession.h"
#include "platform/PrintSettings.h"

namespace {

namespace fs = std::filesystem;
using Piece = KRTJobTicket::Piece;
using ::testing::HasSubstr;
using ::testing::Not;

// A PPD with the options that have blocks of their own: the colour profile with its job note, the
// control bar, curve adjustment, scale, print size with a custom print size, orientation,
// collation, destination with a mailbox, a plain and an enciphered job note (the enciphered one
// is the first control of the tree).
constexpr char kFeaturesPPD[] = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "QUILLOUT.PPD"
*Manufacturer: "Quill"
*ModelName: "Quill Output Test"
*NickName: "Quill Output Test"
*%KRVersion: 3.5

*%KRTJobNote: *KRSecure/Secure Code: 16|Numeric|Encrypt
*%KRSecure: "(<*KRSecure>) KRsetsecure"

*%KRTSpecialOption: *KRUTF8_Version: 7

*%KRTFlags: *PageSize Spooler
*OpenUI *PageSize/Page Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize [595 842]>>setpagedevice"
*PageSize A3/A3: "<</PageSize [842 1191]>>setpagedevice"
*CloseUI: *PageSize

*%KRTFlags: *KRPrintSize Spooler
*OpenUI *KRPrintSize/Print Size: PickOne
*OrderDependency: 11 AnySetup *KRPrintSize
*DefaultKRPrintSize: SameAsPageSize
*KRPrintSize SameAsPageSize/Same as Paper Size: ""
*KRPrintSize A4/A4: "<</KRPrintSize (A4)>> setpagedevice"
*KRPrintSize CustomPrintSize/Custom: ""
*CloseUI: *KRPrintSize
*%ParamCustomPrintSize Width: 1 points 283 1296
*%ParamCustomPrintSize Height: 2 points 420 1870

*%KRTFlags: *KROrientation Spooler
*OpenUI *KROrientation/Rotate: Boolean
*DefaultKROrientation: False
*KROrientation True/On: "<</KROrientation true>> setpagedevice"
*KROrientation False/Off: "<</KROrientation false>> setpagedevice"
*CloseUI: *KROrientation

*%KRTFlags: *Collate Spooler
*OpenUI *Collate/Collate: Boolean
*DefaultCollate: True
*Collate True/On: "<</Collate true>> setpagedevice"
*Collate False/Off: "<</Collate false>> setpagedevice"
*CloseUI: *Collate

*%KRTGroupName: QPLayout/Layout: True
*%KRTFlags: *KRScale Spooler
*%KRTGroup: *KRScale QPLayout
*%KRTRange: *KRScale/Scale: (1;400;1;100) "<</KRScale <*KRScale>>> setpagedevice"

*%KRTFlags: *KROutProfile Spooler
*OpenUI *KROutProfile/Output Profile: PickOne
*DefaultKROutProfile: Auto
*KROutProfile Auto/Automatic: "<</KROutProfile (Auto)>> setpagedevice"
*KROutProfile Vivid/Vivid: "<</KROutProfile (Vivid)>> setpagedevice"
*CloseUI: *KROutProfile
*%KRTJobNote: *KROutProfile/Output Profile Name: 63

*%KRTFlags: *KRCurveAdjust Spooler
*OpenUI *KRCurveAdjust/Curve: PickOne
*DefaultKRCurveAdjust: Standard
*KRCurveAdjust Standard/Standard: ""
*KRCurveAdjust Soft/Soft: ""
*CloseUI: *KRCurveAdjust

*%KRTFlags: *KRControlBar Spooler
*OpenUI *KRControlBar/Control Bar: PickOne
*DefaultKRControlBar: Off
*KRControlBar Off/Off: ""
*KRControlBar Standard/Standard: "<</KRControlBar 1>> setpagedevice"
*KRControlBar True/On: ""
*CloseUI: *KRControlBar

*%KRTFlags: *Duplex Spooler
*OpenUI *Duplex/2-Sided: PickOne
*DefaultDuplex: None
*Duplex None/Off: "<</Duplex false>> setpagedevice"
*Duplex DuplexNoTumble/Long Edge: "<</Duplex true /Tumble false>> setpagedevice"
*CloseUI: *Duplex

*%KRTFlags: *KRDestination Spooler
*OpenUI *KRDestination/Destination: PickOne
*DefaultKRDestination: Print
*KRDestination Print/Print: ""
*KRDestination File/Save in Mailbox: ""
*CloseUI: *KRDestination
*%KRTJobNote: *KRMailboxName/Mailbox: 255|AnyText

*%KRTJobNote: *KRNote/Note: 255
*%KRNote: "(<*KRNote>) KRsetnote"
)PPD";

constexpr char kWatermarkRecord[] = "0,10,20,255,0,0,0,0,0,450,0,0,96,Helvetica,DRAFT";

// Reads a whole file; "" when it cannot.
std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Members are public: the table rows' set-up functions reach them.
class OutPostscriptDataTest : public quill::testing::OutputTest {
 public:
  void SetUp() override {
    OutputTest::SetUp();
    quill::SystemInfo::SetVersion({10, 6});  // the preference list is a file under $HOME
    quill::SystemInfo::SetHostProcessName("TextEdit");
    quill::PrintSession::Reset();
    fs::create_directories(home_.path() / "Library/Preferences");
    fs::create_directories(home_.path() / "run");
    KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
  }
  void TearDown() override {
    data_.reset();
    ppd_.reset();
    KRTPPD::Options(0);
    quill::PrintSession::Reset();
    OutputTest::TearDown();
  }

  // Parses `text` (with `edits` applied) into the session data of queue "Press".
  PDEData& Open(std::string text = kFeaturesPPD,
                const std::vector<std::pair<std::string, std::string>>& edits = {}) {
    for (const auto& [from, to] : edits) {
      const size_t at = text.find(from);
      EXPECT_NE(at, std::string::npos) << from;
      if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    data_.reset();
    ppd_.reset();
    Globals().endOfPPDLatch = false;
    ppd_.reset(new KRTPPD(ppds_.Write("out" + std::to_string(++count_) + ".ppd", text), 3));
    data_ = std::make_unique<PDEData>(ppd_.get(), "Press");
    data_->SetPrintSettings(&settings_);
    data_->SetPageFormat(&format_);
    SetBidi(false);  // the preference file outlives the session: every test starts without
    return *data_;
  }
  PDEData& OpenSample() {
    return Open(ReadFile(quill::testing::ExamplePath("QuillSample.ppd")));
  }
  void SetBidi(bool on) { EXPECT_TRUE(data_->SetMeridiaPrinterAddress("10.0.0.7", on)); }

  PPDXControl* Control(const char* keyword) {
    CNTL_TYPE type;
    PPDXControl* control = ppd_->GetControls()->Find(keyword, type, true);
    EXPECT_NE(control, nullptr) << keyword;
    return control;
  }
  PPDXControl* Option(const char* keyword) {
    for (auto finder : {&PPDXControls::FindPopup, &PPDXControls::FindBoolean,
                        &PPDXControls::FindRangeControl}) {
      if (PPDXControl* c = (ppd_->GetControls()->*finder)(keyword, true)) return c;
    }
    ADD_FAILURE() << keyword;
    return nullptr;
  }
  void SetValue(const char* keyword, const std::string& value) {
    Option(keyword)->SetCurrentControlWithCFString(value);
  }

  // Runs OutPostscriptData into a fresh ticket; the status goes to *status.
  std::vector<Piece> Run(int* status = nullptr) {
    ticket_ = std::make_unique<KRTJobTicket>(nullptr, &settings_, CreatePostscriptDataFileKey());
    quill::PrintSession no_printer;
    const int result = data_->OutPostscriptData(*ticket_, &no_printer);
    if (status != nullptr) {
      *status = result;
    } else {
      EXPECT_EQ(result, PDEData::kOutputOk) << data_->OutputError();
    }
    return ticket_->Pieces() != nullptr ? *ticket_->Pieces() : std::vector<Piece>{};
  }

  static std::vector<std::string> TextsAt(const std::vector<Piece>& pieces,
                                          PostScriptInjectionSite site) {
    std::vector<std::string> texts;
    for (const auto& piece : pieces) {
      if (piece.site == site) texts.push_back(piece.data);
    }
    return texts;
  }
  // The pieces at site 81 that begin with "%%BeginFeature: <keyword> ".
  static std::vector<std::string> Blocks(const std::vector<Piece>& pieces,
                                         const std::string& keyword) {
    std::vector<std::string> blocks;
    for (const auto& text : TextsAt(pieces, kSiteFeature)) {
      if (text.rfind("%%BeginFeature: " + keyword + " ", 0) == 0) blocks.push_back(text);
    }
    return blocks;
  }
  static std::string AllText(const std::vector<Piece>& pieces) {
    std::string all;
    for (const auto& piece : pieces) all += piece.data;
    return all;
  }

  quill::testing::TempDir home_;
  quill::testing::TempDir ppds_;
  int count_ = 0;
  std::unique_ptr<KRTPPD> ppd_;
  std::unique_ptr<PDEData> data_;
  std::unique_ptr<KRTJobTicket> ticket_;
  quill::PrintSettings settings_;
  quill::PageFormat format_;

 private:
  // Declared after home_, so that it sees the folder; restored before it goes.
  struct Env {
    Env(const char* name, std::string value) : name_(name) {
      if (const char* old = std::getenv(name)) old_ = old;
      ::setenv(name, value.c_str(), 1);
    }
    ~Env() {
      if (old_) ::setenv(name_, old_->c_str(), 1);
      else ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
  };
  Env home_env_{"HOME", home_.path().string()};
  Env run_env_{"XDG_RUNTIME_DIR", (home_.path() / "run").string()};
};

// --- order ----------------------------------------------------------------------------------

TEST_F(OutPostscriptDataTest, SamplePiecesComeInTheirOrder) {
  OpenSample();
  Note(*ppd_, "*KRAccount")->SetNotes("4711");
  data_->Watermarks().Add(kWatermarkRecord);
  data_->Watermarks().Select(0);
  const std::vector<Piece> pieces = Run();

  // Condensed: site and first line of each piece, the bare keywords run together.
  std::vector<std::string> outline;
  for (const auto& piece : pieces) {
    std::string line = std::to_string(piece.site) + " " + piece.data.substr(0, piece.data.find('\n'));
    if (piece.site == kSiteBareKeyword) line = "-9";
    if (outline.empty() || outline.back() != "-9" || line != "-9") outline.push_back(line);
  }
  EXPECT_THAT(outline, ::testing::ElementsAreArray(std::vector<std::string>{
                           "-9",
                           "81 %%BeginFeature: *KRSourceAppType TEXTEDIT",
                           "81 %%BeginFeature: *KRFinisher FS100",
                           "70 %%BeginFeature: *PageSize A4",
                           "81 %%BeginFeature: *InputSlot Auto",
                           "81 %%BeginFeature: *KRColorMode Color",
                           "81 %%BeginFeature: *KRToneCurve    1.0000",
                           "81 %%BeginFeature: *KRMirror False",
                           "81 %%BeginFeature: *KRCopies 1",
                           "81 %%BeginFeature: *Duplex None",
                           "81 %%BeginFeature: *KRStaple None",
                           "81 %%BeginFeature: *KRPunch None",
                           "81 %%BeginFeature: *KRDisplayJobTracking False",
                           "504 %%MacCoreNUp: true",
                           "504 %%Orientation: Portrait",
                           "81 %%BeginFeature: *KRAccount 4711",
                           "81 %%BeginFeature: *KRJobName Untitled",
                           "81 %%KRT Begin Watermark resource ",
                           "81 %%BeginFeature: *KRPrintSize SameAsPageSize",
                           "501 %%KRTDriver",
                           "71 %%EndQuillPreparse1: True",
                           "501 %%KRUTF8_Version: 7 "}));

  // Every option but the page size is named for the filter, in tree order.
  const std::vector<std::string> bare = TextsAt(pieces, kSiteBareKeyword);
  EXPECT_THAT(bare, Not(::testing::Contains("*PageSize")));
  EXPECT_THAT(bare, ::testing::Contains("*KRAccount"));
  EXPECT_EQ(bare.front(), "*KRUTF8_Version");
  EXPECT_EQ(bare.size(), 17u);
}

TEST_F(OutPostscriptDataTest, FixturePiecesComeInTheirOrder) {
  Open();
  SetBidi(true);
  Note(*ppd_, "*KRSecure")->SetNotes("1234");
  Note(*ppd_, "*KROutProfile")->SetNotes("Press Profile");
  Note(*ppd_, "*KRMailboxName")->SetNotes("Anna");
  SetValue("*KRDestination", "File");
  SetValue("*KRControlBar", "Standard");
  data_->MixedMedia().Append(L"*KRMMInUse", L"True");
  data_->PadCover().Append(L"KRPadCover", L"Front");
  data_->SlipSheet().Append(L"KRSlipSheet", L"Tray2");
  data_->CoverPage().Append(L"KRCoverPage", L"Back");
  data_->PaperCatalog().At(0)->value = L"12";
  data_->PaperCatalog().At(0)->key = L"KRPCMID";  // without its asterisk
  const std::vector<Piece> pieces = Run();

  std::vector<std::string> outline;
  for (const auto& piece : pieces) {
    if (piece.site == kSiteBareKeyword) continue;
    outline.push_back(std::to_string(piece.site) + " " +
                      piece.data.substr(0, piece.data.find('\n')));
  }
  EXPECT_THAT(outline,
              ::testing::ElementsAreArray(std::vector<std::string>{
                  "81 %%BeginFeature: *KRSourceAppType TEXTEDIT",
                  "70 %%BeginFeature: *PageSize A4",
                  "81 %%BeginFeature: *KROrientation False",
                  "81 %%BeginFeature: *KRCurveAdjust Standard",  // its option code
                  "81 %%BeginFeature: *Duplex None",
                  "81 %%BeginFeature: *KRDestination File",
                  "81 %%BeginFeature: *KRMMInUse True",
                  "81 %%BeginFeature: *KRPadCover Front",
                  "81 %%BeginFeature: *KRSlipSheet Tray2",
                  "81 %%BeginFeature: *KRCoverPage Back",
                  "81 %%BeginFeature: *KROutProfile Press Profile",
                  "81 %%BeginFeature: *KRCurveAdjust Standard",  // the dynamic option
                  "81 %%BeginFeature: *KRControlBar Standard",
                  "504 %%MacCoreNUp: true",
                  "504 %%Orientation: Portrait",
                  // Notes without code of their own (the profile, the mailbox) write no block.
                  "81 %%BeginFeature: *KRSecure 4F1BB6541E4D4CE6",
                  "81 %%BeginFeature: *KRScale 100",
                  "81 %%BeginFeature: *KRPCMID 12",
                  "81 %%BeginFeature: *KRPCPPDSize SameAsPageSize",
                  "81 %%BeginFeature: *KRPrintSize SameAsPageSize",
                  "900 Library/Caches/KRT/Anna",
                  "501 %%KRTDriver",
                  "71 %%EndQuillPreparse1: True",
                  "501 %%KRUTF8_Version: 7 "}));
}

// --- exact texts ----------------------------------------------------------------------------

TEST_F(OutPostscriptDataTest, OwnBlocksHaveTheirExactTexts) {
  struct Row {
    const char* name;
    std::function<void(OutPostscriptDataTest&)> setUp;
    std::string keyword;   // the block's keyword
    std::string expected;  // the whole block
  };
  const std::string dynamic_tail = "VTXsetDynamicOption } if\n%%EndFeature\n";
  const std::vector<Row> rows = {
      {"scale 100", [](auto& t) { t.SetValue("*KRScale", "100"); }, "*KRScale",
       "%%BeginFeature: *KRScale 100\n userdict /VTXKRTsetpageproperties known {  << "
       "/VTXSetKRScale [ 1.00 ] >> VTXKRTsetpageproperties } { /VTXSetKRScale where { pop 1.00 "
       "VTXSetKRScale } if } ifelse \n%%EndFeature\n"},
      {"scale 5", [](auto& t) { t.SetValue("*KRScale", "5"); }, "*KRScale",
       "%%BeginFeature: *KRScale 5\n userdict /VTXKRTsetpageproperties known {  << "
       "/VTXSetKRScale [ 0.05 ] >> VTXKRTsetpageproperties } { /VTXSetKRScale where { pop 0.05 "
       "VTXSetKRScale } if } ifelse \n%%EndFeature\n"},
      {"scale 250", [](auto& t) { t.SetValue("*KRScale", "250"); }, "*KRScale",
       "%%BeginFeature: *KRScale 250\n userdict /VTXKRTsetpageproperties known {  << "
       "/VTXSetKRScale [ 2.50 ] >> VTXKRTsetpageproperties } { /VTXSetKRScale where { pop 2.50 "
       "VTXSetKRScale } if } ifelse \n%%EndFeature\n"},
      {"custom print size",
       [](auto& t) {
         t.SetValue("*KRPrintSize", "CustomPrintSize");
         auto* size = static_cast<PPDXCustomPageSizeControl*>(t.Control("*CustomPrintSize"));
         size->SetWidth(300.125f);
         size->SetHeight(500.5f);
       },
       "*CustomPrintSize",
       "%%BeginFeature: *CustomPrintSize 300.12 500.50\n   userdict /VTXKRTsetpageproperties "
       "known\n   {<< /VTXsetPrintSize [ 300.12 500.50 0 0 1 ] >> VTXKRTsetpageproperties} "
       "if\n%%EndFeature\n"},
      {"orientation without its own code", [](auto&) {}, "*KROrientation",
       "%%BeginFeature: *KROrientation False\n%%EndFeature\n"},
      {"mixed media pair",
       [](auto& t) { t.data_->MixedMedia().Append(L"*KRMMPage1", L"Tray 2"); }, "*KRMMPage1",
       "%%BeginFeature: *KRMMPage1 Tray 2\n%%EndFeature\n"},
      {"pad cover key gets its asterisk",
       [](auto& t) { t.data_->PadCover().Append(L"KRPadCov", L"On"); }, "*KRPadCov",
       "%%BeginFeature: *KRPadCov On\n%%EndFeature\n"},
      {"profile note, two-way on",
       [](auto& t) {
         t.SetBidi(true);
         Note(*t.ppd_, "*KROutProfile")->SetNotes("My Profile");
       },
       "*KROutProfile",
       "%%BeginFeature: *KROutProfile My Profile\n /VTXsetDynamicOption where\n        { pop "
       "(*KROutProfile) (My Profile) " + dynamic_tail},
      {"profile note with byte-order marks",
       [](auto& t) {
         t.SetBidi(true);
         Note(*t.ppd_, "*KROutProfile")->SetNotes("EFBBBFP(1)");
       },
       "*KROutProfile",
       "%%BeginFeature: *KROutProfile \xEF\xBB\xBFP(1)\n /VTXsetDynamicOption where\n        { "
       "pop (*KROutProfile) (\xEF\xBB\xBFP\\0501\\051) " + dynamic_tail},
      {"profile, two-way off: the option's code, the note cleared",
       [](auto& t) { Note(*t.ppd_, "*KROutProfile")->SetNotes("My Profile"); }, "*KROutProfile",
       "%%BeginFeature: *KROutProfile Auto\n<</KROutProfile (Auto)>> setpagedevice\n"
       "%%EndFeature\n"},
      {"curve adjustment",
       [](auto& t) { t.SetValue("*KRCurveAdjust", "Soft"); }, "*KRCurveAdjust",
       "%%BeginFeature: *KRCurveAdjust Soft\n /VTXsetDynamicOption where\n        { pop "
       "(*KRCurveAdjust) (Soft) " + dynamic_tail},
      {"control bar away from its default",
       [](auto& t) {
         t.SetBidi(true);
         t.SetValue("*KRControlBar", "Standard");
       },
       "*KRControlBar",
       "%%BeginFeature: *KRControlBar Standard\n /VTXsetDynamicOption where\n        { pop "
       "(*KRControlBar) (Standard) " + dynamic_tail},
      {"paper catalog and its page size",
       [](auto& t) {
         t.SetBidi(true);
         t.data_->PaperCatalog().At(1)->value = L"7";
         t.SetValue("*KRPrintSize", "CustomPrintSize");
       },
       "*KRPCPPDSize", "%%BeginFeature: *KRPCPPDSize CustomPageSize0\n%%EndFeature\n"},
  };
  for (const Row& row : rows) {
    Open();
    row.setUp(*this);
    const std::vector<Piece> pieces = Run();
    const auto blocks = Blocks(pieces, row.keyword);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), row.expected), 1) << row.name;
    if (::testing::Test::HasFailure()) {
      for (const auto& block : blocks) ADD_FAILURE() << row.name << ": " << block;
      return;
    }
  }
}

TEST_F(OutPostscriptDataTest, FixedPiecesHaveTheirExactBytes) {
  Open();
  const std::vector<Piece> pieces = Run();
  EXPECT_THAT(TextsAt(pieces, kSiteHeader),
              ::testing::ElementsAre("%%KRTDriver\n", "%%KRUTF8_Version: 7 \n"));
  const std::vector<std::string> marker = TextsAt(pieces, kSitePreParseEnd);
  ASSERT_EQ(marker.size(), 1u);
  EXPECT_EQ(marker[0].size(), 92u);
  EXPECT_EQ(Blocks(pieces, "*KRPrintSize").at(0).size(), 58u);
  EXPECT_EQ(Blocks(pieces, "*KRSourceAppType").at(0),
            "%%BeginFeature: *KRSourceAppType TEXTEDIT\n\n%%EndFeature\n");
}

TEST_F(OutPostscriptDataTest, PrintSizeFollowsPageSizeAndCustomPaper) {
  struct Row {
    const char* page;
    const char* print;
    bool customPaper;
    const char* expectedStart;  // of the one *KRPrintSize block
    bool pageSizeBlock;
  };
  const Row rows[] = {
      {"A4", "A4", false, "%%BeginFeature: *KRPrintSize SameAsPageSize\n\n", true},
      {"A3", "A4", false, "%%BeginFeature: *KRPrintSize A4\n<</KRPrintSize (A4)>>", true},
      // With the dialog's own paper, the page size is left to the dialog.
      {"A4", "A4", true, "%%BeginFeature: *KRPrintSize A4\n<</KRPrintSize (A4)>>", false},
  };
  for (const Row& row : rows) {
    Open();
    SetValue("*PageSize", row.page);
    SetValue("*KRPrintSize", row.print);
    data_->SetCustomPaper(row.customPaper);
    const std::vector<Piece> pieces = Run();
    const auto blocks = Blocks(pieces, "*KRPrintSize");
    ASSERT_EQ(blocks.size(), 1u) << row.page << row.print;
    EXPECT_EQ(blocks[0].rfind(row.expectedStart, 0), 0u) << blocks[0];
    EXPECT_EQ(TextsAt(pieces, kSitePageSize).size(), row.pageSizeBlock ? 1u : 0u);
  }
  // A print size whose default is "KRPrintSizeDEF" always goes out as the option's code.
  Open(kFeaturesPPD, {{"*DefaultKRPrintSize: SameAsPageSize", "*DefaultKRPrintSize: KRPrintSizeDEF"},
                      {"*KRPrintSize A4/A4:", "*KRPrintSize KRPrintSizeDEF/Default: \"\"\n*KRPrintSize A4/A4:"}});
  SetValue("*KRPrintSize", "A4");
  EXPECT_EQ(Blocks(Run(), "*KRPrintSize").at(0).rfind("%%BeginFeature: *KRPrintSize A4\n", 0), 0u);
}

TEST_F(OutPostscriptDataTest, CustomPrintSizeRoundsWhenThePPDAsks) {
  Open(kFeaturesPPD, {{"*%KRTSpecialOption: *KRUTF8_Version: 7",
                       "*%KRTSpecialOption: *KRUTF8_Version: 7\n"
                       "*%KRTSpecialOption: *KRCustomPgSzRoundingOff: True"}});
  SetValue("*KRPrintSize", "CustomPrintSize");
  auto* size = static_cast<PPDXCustomPageSizeControl*>(Control("*CustomPrintSize"));
  size->SetWidth(300.5f);
  size->SetHeight(500.4f);
  EXPECT_THAT(Blocks(Run(), "*CustomPrintSize").at(0),
              HasSubstr("*CustomPrintSize 301.00 500.00\n"));
}

TEST_F(OutPostscriptDataTest, TwoWayOffWritesNoCatalogAndNoDynamicOptions) {
  Open();
  Note(*ppd_, "*KROutProfile")->SetNotes("My Profile");
  data_->PaperCatalog().At(0)->value = L"12";
  SetValue("*KRControlBar", "Standard");
  const std::vector<Piece> pieces = Run();
  EXPECT_TRUE(Blocks(pieces, "*KRPCMID").empty());
  EXPECT_TRUE(Blocks(pieces, "*KRPCPPDSize").empty());
  const std::string all = AllText(pieces);
  EXPECT_THAT(all, Not(HasSubstr("(*KROutProfile)")));
  EXPECT_THAT(all, Not(HasSubstr("(*KRControlBar)")));
  EXPECT_STREQ(Note(*ppd_, "*KROutProfile")->GetNotes(), "");
}

TEST_F(OutPostscriptDataTest, ControlBarFollowsTheUTF8LevelAndItsValue) {
  // From level 6 the control bar goes out only when it is not "True"; its option code only
  // below level 6.
  Open();
  SetValue("*KRControlBar", "Standard");
  EXPECT_TRUE(Blocks(Run(), "*KRControlBar").empty());
  Open(kFeaturesPPD, {{"*KRUTF8_Version: 7", "*KRUTF8_Version: 5"}});
  SetValue("*KRControlBar", "Standard");
  EXPECT_THAT(Blocks(Run(), "*KRControlBar"),
              ::testing::ElementsAre("%%BeginFeature: *KRControlBar Standard\n<</KRControlBar 1>> "
                                     "setpagedevice\n%%EndFeature\n"));
  Open();
  SetValue("*KRControlBar", "True");
  EXPECT_THAT(Blocks(Run(), "*KRControlBar"),
              ::testing::ElementsAre("%%BeginFeature: *KRControlBar True\n\n%%EndFeature\n"));
}

TEST_F(OutPostscriptDataTest, InDesignBeforeVersion6GetsTheNUpSettingInLandscape) {
  const std::string nup =
      "%%KRT Begin N-Up_Setting\r\nuserdict /QuillVTdict known\r\n{\r\nQuillVTdict "
      "/KRTDoing_N_Up known\r\n{ 1 false QuillVTdict /KRTDoing_N_Up get exec } if\r\n} if\r\n"
      "%%KRT End\r\n";
  struct Row {
    const char* identifier;
    const char* version;
    uint32_t orientation;
    bool expected;
  };
  const Row rows[] = {
      {"com.adobe.InDesign", "5.0.4", 2, true},  {"com.adobe.InDesign", "6.0", 2, false},
      {"com.adobe.InDesign", "4.2", 1, false},   {"com.adobe.InDesign", "4.2", 4, true},
      {"com.apple.TextEdit", "1.0", 2, false},
  };
  for (const Row& row : rows) {
    quill::SystemInfo::SetHostBundleIdentifier(row.identifier);
    quill::SystemInfo::SetHostShortVersion(row.version);
    format_.SetOrientation(row.orientation);
    Open();
    const auto texts = TextsAt(Run(), kSiteFeature);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), nup), row.expected ? 1 : 0)
        << row.identifier << " " << row.version << " " << row.orientation;
  }
}

// --- faults -----------------------------------------------------------------------------------

// The first option of the tree went out unfiltered: a job note there was sent with its plain
// text beside its enciphered block.
TEST_F(OutPostscriptDataTest, FirstJobNoteIsSentOnlyEnciphered) {
  Open();
  Note(*ppd_, "*KRSecure")->SetNotes("1234");
  const std::vector<Piece> pieces = Run();
  const auto blocks = Blocks(pieces, "*KRSecure");
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_THAT(blocks[0], Not(HasSubstr("<31323334>")));  // the plain text as hex
  EXPECT_THAT(blocks[0], Not(HasSubstr("(1234)")));
  EXPECT_THAT(AllText(pieces), Not(HasSubstr("KRsetsecure\n%%EndFeature\n%%BeginFeature: *KRSecure")));
}

// A job note that cannot be written (here: enciphered without keys) stopped nothing: the print
// went out without it. Now the print stops and nothing of the ticket is kept.
TEST_F(OutPostscriptDataTest, JobNoteFailureStopsThePrint) {
  WriteKeys(false, false, false);
  Open();
  Note(*ppd_, "*KRSecure")->SetNotes("1234");
  int status = 0;
  Run(&status);
  EXPECT_EQ(status, KRTJobNoteList::kStatusRefused);
  EXPECT_THAT(data_->OutputError(), HasSubstr("*KRSecure"));
  EXPECT_EQ(ticket_->Pieces(), nullptr);
  EXPECT_EQ(ticket_->Save(), nullptr);  // no half ticket is ever stored
}

TEST_F(OutPostscriptDataTest, MailboxNamesStayInTheirFolder) {
  struct Row {
    const char* name;
    const char* path;  // null: refused
  };
  const Row rows[] = {
      {"Anna", "Library/Caches/KRT/Anna"},
      {"Mailbox Anna", "Library/Caches/KRT/Mailbox Anna"},
      {"team/Anna", "Library/Caches/KRT/team/Anna"},
      {"..", nullptr},
      {"../../etc", nullptr},
      {"team/../../x", nullptr},
      {"/etc/passwd", nullptr},
      {"a//b", nullptr},
      {"./a", nullptr},
      {"a/", nullptr},
      {"", nullptr},
  };
  for (const Row& row : rows) {
    Open();
    SetValue("*KRDestination", "File");
    Note(*ppd_, "*KRMailboxName")->SetNotes(row.name);
    int status = 0;
    const std::vector<Piece> pieces = Run(&status);
    if (row.path != nullptr) {
      EXPECT_EQ(status, PDEData::kOutputOk) << row.name;
      EXPECT_THAT(TextsAt(pieces, kSiteMailbox), ::testing::ElementsAre(row.path));
    } else {
      EXPECT_EQ(status, PDEData::kOutputRefused) << row.name;
      EXPECT_EQ(ticket_->Pieces(), nullptr) << row.name;
      EXPECT_FALSE(data_->OutputError().empty());
    }
  }
  // Without the "File" destination no path goes out.
  Open();
  Note(*ppd_, "*KRMailboxName")->SetNotes("../x");
  EXPECT_TRUE(TextsAt(Run(), kSiteMailbox).empty());
}

// Values in the panel's own blocks come from users and settings files: none may end its string
// or comment line.
TEST_F(OutPostscriptDataTest, ValuesCannotBreakOutOfStringsOrLines) {
  Open();
  SetBidi(true);
  Note(*ppd_, "*KROutProfile")->SetNotes("x) } if (evil) show {%%EndFeature q\\");
  // A profile control takes any name the job-properties module hands it.
  SetValue("*KRCurveAdjust", "Soft)\n(x\\");
  data_->MixedMedia().Append(L"*KRMM\nerasepage", L"v\r\n%%EndFeature");
  data_->SlipSheet().Append(L"KRSlip", L"a\x07z");
  const std::vector<Piece> pieces = Run();
  EXPECT_THAT(Blocks(pieces, "*KROutProfile"),
              ::testing::ElementsAre(
                  "%%BeginFeature: *KROutProfile x) } if (evil) show {%%EndFeature q\\\n"
                  " /VTXsetDynamicOption where\n        { pop (*KROutProfile) (x\\051 } if "
                  "\\050evil\\051 show {%%EndFeature q\\\\) VTXsetDynamicOption } if\n"
                  "%%EndFeature\n"));
  EXPECT_THAT(Blocks(pieces, "*KRCurveAdjust"),
              ::testing::ElementsAre(
                  "%%BeginFeature: *KRCurveAdjust Soft)\\012(x\\\n\n%%EndFeature\n",
                  "%%BeginFeature: *KRCurveAdjust Soft)\\012(x\\\n /VTXsetDynamicOption where\n"
                  "        { pop (*KRCurveAdjust) (Soft\\051\\012\\050x\\\\) "
                  "VTXsetDynamicOption } if\n%%EndFeature\n"));
  EXPECT_THAT(Blocks(pieces, "*KRMM\\012erasepage"),
              ::testing::ElementsAre(
                  "%%BeginFeature: *KRMM\\012erasepage v\\015\\012%%EndFeature\n%%EndFeature\n"));
  EXPECT_THAT(Blocks(pieces, "*KRSlip"),
              ::testing::ElementsAre("%%BeginFeature: *KRSlip a\\007z\n%%EndFeature\n"));
  // Every block keeps its one begin and one end line.
  for (const auto& text : TextsAt(pieces, kSiteFeature)) {
    if (text.rfind("%%BeginFeature:", 0) != 0) continue;
    size_t lines_begin = 0, lines_end = 0, from = 0;
    while (from < text.size()) {
      const size_t end = text.find('\n', from);
      const std::string line = text.substr(from, end - from);
      lines_begin += line.rfind("%%BeginFeature:", 0) == 0;
      lines_end += line == "%%EndFeature";
      from = end == std::string::npos ? text.size() : end + 1;
    }
    EXPECT_EQ(lines_begin, 1u) << text;
    EXPECT_EQ(lines_end, 1u) << text;
  }

  // A job note with a line end is refused by the job-note output, and the print stops.
  Note(*ppd_, "*KROutProfile")->SetNotes("a\nb");
  int status = 0;
  Run(&status);
  EXPECT_EQ(status, KRTJobNoteList::kStatusRefused);
  EXPECT_EQ(ticket_->Pieces(), nullptr);
}

// A pair longer than 255 characters was cut before its end line.
TEST_F(OutPostscriptDataTest, LongPairsKeepTheirEndLine) {
  Open();
  const std::wstring key = L"*KRMM" + std::wstring(250, L'K');
  const std::wstring value(255, L'V');
  data_->MixedMedia().Append(key, value);
  data_->CoverPage().Append(std::wstring(255, L'C'), value);
  const std::vector<Piece> pieces = Run();
  const auto mixed = Blocks(pieces, quill::NarrowToUTF8(key, 1024));
  ASSERT_EQ(mixed.size(), 1u);
  EXPECT_EQ(mixed[0], "%%BeginFeature: " + quill::NarrowToUTF8(key, 1024) + " " +
                          std::string(255, 'V') + "\n%%EndFeature\n");
  const auto cover = Blocks(pieces, "*" + std::string(255, 'C'));
  ASSERT_EQ(cover.size(), 1u);
  EXPECT_THAT(cover[0], ::testing::EndsWith("\n%%EndFeature\n"));
}

// Numbers went out in the locale's form ("300,12" under a German locale), which PostScript reads
// as two tokens.
TEST_F(OutPostscriptDataTest, NumbersIgnoreTheLocale) {
  const std::string old = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "de_DE.utf8") == nullptr) {
    GTEST_SKIP() << "no German locale";
  }
  Open();
  SetValue("*KRPrintSize", "CustomPrintSize");
  auto* size = static_cast<PPDXCustomPageSizeControl*>(Control("*CustomPrintSize"));
  size->SetWidth(300.25f);
  size->SetHeight(500.75f);
  data_->Watermarks().Add("0,0,0,128,64,32,0,0,0,455,0,0,72,Helvetica,X");
  data_->Watermarks().Select(0);
  const std::vector<Piece> pieces = Run();
  std::setlocale(LC_NUMERIC, old.c_str());
  EXPECT_THAT(Blocks(pieces, "*CustomPrintSize").at(0), HasSubstr("300.25 500.75 0 0 1"));
  const std::string all = AllText(pieces);
  EXPECT_THAT(all, HasSubstr("/Angle 45.5 def"));
  EXPECT_THAT(all, HasSubstr("{0.50 0.25 0.13 setrgbcolor}"));
}

// --- watermark --------------------------------------------------------------------------------

TEST(KRTWatermarkPostScript, OrientationMovesTheOffsets) {
  struct Row {
    uint32_t orientation;
    const char* landscape;
    const char* inverse;
    const char* offsets;
  };
  const Row rows[] = {
      {1, "false", "false", "/XOffset 10 def \n /YOffset 20 def"},
      {2, "true", "false", "/XOffset -20 def \n /YOffset 10 def"},
      {3, "false", "false", "/XOffset 10 def \n /YOffset 20 def"},
      {4, "false", "true", "/XOffset 20 def \n /YOffset -10 def"},
  };
  for (const Row& row : rows) {
    KRTWatermark watermark(kWatermarkRecord);
    const auto resource = KRTWatermarkPostScript::Build(watermark, "English", row.orientation);
    ASSERT_TRUE(resource);
    EXPECT_THAT(*resource, HasSubstr(std::string("globaldict /landscapeDoc ") + row.landscape +
                                     " put \n globaldict /invLandscapeDoc " + row.inverse));
    EXPECT_THAT(*resource, HasSubstr(std::string(" /landscapeDoc ") + row.landscape +
                                     " def \n /invLandscapeDoc " + row.inverse + " def "));
    EXPECT_THAT(*resource, HasSubstr(row.offsets)) << row.orientation;
  }
}

TEST(KRTWatermarkPostScript, LanguageAndFontChooseTheTemplate) {
  struct Row {
    const char* language;
    const char* record;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const std::string clear = "/WaterMarkColor { true setoverprint [ /Separation (Clear)";
  const std::vector<Row> rows = {
      {"English", "0,0,0,255,0,0,0,0,0,450,0,0,72,Helvetica,A",
       {" end /Helvetica-ISOLatin1 exch definefont pop \n /WatermarkFontName /Helvetica-ISOLatin1 def ",
        "/WaterMarkColor {1.00 0.00 0.00 setrgbcolor} bind def", "/Watermark <41> def",
        "/FontSize 72 def", "globaldict /waterMarkAllPages true put"},
       {clear}},
      {"English", "1,0,0,255,0,0,0,1,0,450,0,0,72,Helvetica,A",
       {clear, "Helvetica-ISOLatin1", "globaldict /waterMarkAllPages false put"},
       {"setrgbcolor"}},
      // A Japanese PPD with a Latin font re-encodes it too.
      {"Japanese", "0,0,0,0,0,255,0,0,0,0,0,0,72,Times-Roman,A",
       {"Times-Roman-ISOLatin1", "{0.00 0.00 1.00 setrgbcolor}"}, {}},
      {"Japanese", "0,0,0,0,0,255,0,0,0,0,0,0,72,Ryumin-Light-H,A",
       {"{ /WatermarkFontName /Ryumin-Light-H def }",
        "/WatermarkFontName /Ryumin-Light-H           def ", "{0.00 0.00 1.00 setrgbcolor}"},
       {"ISOLatin1EncodingCopy def currentdict"}},
      {"Japanese", "1,0,0,0,0,255,0,0,0,0,0,0,72,Ryumin-Light-H,A", {clear}, {"setrgbcolor"}},
      {"Chinese", "0,0,0,0,255,0,0,0,0,0,0,0,72,AdobeSongStd-Light-GBpc-EUC-H,A",
       {"(Resource/AcroCIDFont/AdobeSongStd-Light) run",
        "/Font /GB-EUC-H [/AdobeSongStd-Light] composefont pop",
        "{0.00 1.00 0.00 setrgbcolor}"},
       {}},
      {"Chinese", "1,0,0,0,0,0,0,0,0,0,0,0,72,STSong,A",
       {"(Resource/AcroCIDFont/STSong) run", "setrgbcolor"}, {clear}},
      {"Polish", "0,0,0,0,0,0,0,0,0,0,0,0,72,Helvetica,A",
       {"(Resource/KRTFont/MyriadPro-Regular) run",
        "/Font /KRTMyriad-Latin-Extended-A-UTF8 [/MyriadPro-Regular] composefont pop"},
       {"AcroCIDFont"}},
  };
  for (const Row& row : rows) {
    KRTWatermark watermark(row.record);
    const auto resource = KRTWatermarkPostScript::Build(watermark, row.language, 1);
    ASSERT_TRUE(resource) << row.record;
    EXPECT_EQ(resource->rfind("%%KRT Begin Watermark resource \n", 0), 0u);
    EXPECT_THAT(*resource, ::testing::EndsWith(" %%KRT End Watermark resource \n"));
    EXPECT_THAT(*resource, Not(HasSubstr("%s")));
    EXPECT_THAT(*resource, Not(HasSubstr("%d")));
    for (const auto& text : row.present) {
      EXPECT_THAT(*resource, HasSubstr(text)) << row.language << " " << row.record;
    }
    for (const auto& text : row.absent) {
      EXPECT_THAT(*resource, Not(HasSubstr(text))) << row.language << " " << row.record;
    }
  }
}

TEST(KRTWatermarkPostScript, RefusedRecordsWriteNothing) {
  KRTWatermark bad_font("0,0,0,0,0,0,0,0,0,0,0,0,72,Helv) show (,A");
  std::string why;
  EXPECT_FALSE(KRTWatermarkPostScript::Build(bad_font, "English", 1, &why));
  EXPECT_FALSE(why.empty());
  KRTWatermark no_font("0,0,0,0,0,0,0,0,0,0,0,0,72,,A");
  EXPECT_FALSE(KRTWatermarkPostScript::Build(no_font, "English", 1));
}

// --- formatting -------------------------------------------------------------------------------

TEST(PostScriptText, EscapesAndFormats) {
  EXPECT_EQ(quill::PSStringText("a(b)c\\d\ne\x7F"), "a\\050b\\051c\\\\d\\012e\\177");
  EXPECT_EQ(quill::PSCommentText("a(b)\\\r\n"), "a(b)\\\\015\\012");
  EXPECT_EQ(quill::FormatPS("%%%s %d %.1f %1.2f %.2f|", {"x", 42LL, quill::PSFixed{45.25, 1},
                                                         quill::PSFixed{0.125, 2},
                                                         quill::PSFixed{-0.001, 2}}),
            "%x 42 45.2 0.12 0.00|");
  EXPECT_EQ(quill::FormatPS("%s %s", {"only"}), "only ");
}

// Values put into an option's code by substitution.
TEST(PostScriptText, SubstitutedValuesStayOnTheirLine) {
  struct Row {
    const char* code;
    const char* keyword;
    const char* value;
    const char* expected;
  };
  const Row rows[] = {
      {"%%KRNote: <*KRNote>", "*KRNote", "a\nshowpage", "%%KRNote: a\\012showpage"},
      {"(<*KRDSUserName>) def", "*KRDSUserName", "a\r\n) x (", "(a\\015\\012\\) x \\() def"},
      {"(<*KRNote>) def", "*KRNote", "a\nb", "<610A62> def"},  // hex: nothing to escape
  };
  for (const Row& row : rows) {
    // Any job note will do: Inject reads only the type and the arguments.
    quill::testing::TempDir dir;
    Globals().endOfPPDLatch = false;
    const std::string ppd_text = std::string("*PPD-Adobe: \"4.3\"\n*%KRTJobNote: ") + row.keyword +
                                 "/N: 255\n";
    KRTPPD ppd(dir.Write("n.ppd", ppd_text), 3);
    PPDXControl* note = ppd.GetControls()->FindJobNote(row.keyword, true);
    ASSERT_NE(note, nullptr);
    unsigned char* out = nullptr;
    const long length = note->Inject(row.keyword, reinterpret_cast<const unsigned char*>(row.code),
                                     static_cast<long>(std::strlen(row.code)), row.value, out);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(length)), row.expected)
        << row.value;
    std::free(out);
  }
}

// --- Ghostscript --------------------------------------------------------------------------------

// Runs Ghostscript on `job` to a 24-bit image at 18 dpi; the number of pixels that are not white,
// or -1 when Ghostscript failed (its messages in *log).
long RenderNonWhite(const fs::path& folder, const std::string& job, std::string* log) {
  const fs::path input = folder / "job.ps";
  const fs::path image = folder / "page.ppm";
  const fs::path messages = folder / "gs.log";
  std::ofstream(input, std::ios::binary) << job;
  fs::remove(image);
  const std::string command = "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=ppmraw -r18 -sOutputFile='" +
                              image.string() + "' '" + input.string() + "' > '" +
                              messages.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  *log = ReadAll(messages);
  if (status != 0 || !log->empty()) return -1;
  const std::string ppm = ReadAll(image);
  // "P6", width, height, maximum value (255), one white-space byte, then the pixels; a "#" starts
  // a comment up to the end of its line.
  size_t at = 0;
  for (int fields = 0; fields < 4 && at < ppm.size();) {
    if (ppm[at] == '#') {
      while (at < ppm.size() && ppm[at] != '\n') ++at;
    } else if (std::isspace(static_cast<unsigned char>(ppm[at]))) {
      ++at;
    } else {
      while (at < ppm.size() && !std::isspace(static_cast<unsigned char>(ppm[at]))) ++at;
      ++fields;
    }
  }
  ++at;
  long non_white = 0;
  for (size_t i = at; i + 2 < ppm.size(); i += 3) {
    if (static_cast<unsigned char>(ppm[i]) < 200 || static_cast<unsigned char>(ppm[i + 1]) < 200 ||
        static_cast<unsigned char>(ppm[i + 2]) < 200) {
      ++non_white;
    }
  }
  return non_white;
}

// A one-page job with the pieces where the filter puts them: header comments in the header,
// job notes and feature blocks in the setup, the page size where a page-size feature goes, the
// pre-parse marker at the end of the setup. The page itself draws nothing.
std::string MakeJob(const std::vector<Piece>& pieces) {
  auto at = [&pieces](PostScriptInjectionSite site) {
    std::string text;
    for (const auto& piece : pieces) {
      if (piece.site == site) text += piece.data;
    }
    return text;
  };
  return "%!PS-Adobe-3.0\n" + at(kSiteHeader) + at(kSiteLayoutHeader) +
         "%%Pages: 1\n%%EndComments\n%%BeginProlog\n%%EndProlog\n%%BeginSetup\n" +
         at(kSiteJobNote) + at(kSitePageSize) + at(kSiteFeature) + at(kSitePreParseEnd) +
         "%%EndSetup\n%%Page: 1 1\nshowpage\n%%EOF\n";
}

TEST_F(OutPostscriptDataTest, GhostscriptRunsTheJobAndDrawsTheWatermark) {
  OpenSample();
  Note(*ppd_, "*KRAccount")->SetNotes("4711");
  Note(*ppd_, "*KRJobName")->SetNotes("Report (final) \\ 2");
  SetValue("*Duplex", "DuplexNoTumble");
  SetValue("*KRStaple", "DualLeft");
  data_->MixedMedia().Append(L"*KRMMPage1", L"Tray2 (x");
  std::string log;

  const long blank = RenderNonWhite(home_.path(), MakeJob(Run()), &log);
  ASSERT_EQ(blank, 0) << log;

  struct Row {
    const char* record;
    uint32_t orientation;
  };
  const Row rows[] = {
      {"0,0,0,255,0,0,0,0,0,450,0,0,96,Helvetica,DRAFT (copy) \xE2\x82\xAC", 1},
      {"1,30,-40,0,0,0,0,1,0,-300,0,0,72,Times-Roman,Clear ink", 2},
      {"0,0,0,0,0,200,0,0,0,900,0,0,60,Courier,Sideways", 4},
  };
  for (const Row& row : rows) {
    OpenSample();
    format_.SetOrientation(row.orientation);
    data_->Watermarks().Add(row.record);
    data_->Watermarks().Select(0);
    const long marked = RenderNonWhite(home_.path(), MakeJob(Run()), &log);
    ASSERT_GE(marked, 0) << row.record << "\n" << log;
    // Clear ink is a separation the page's composite does not show; the others are visible.
    if (row.record[0] == '0') {
      EXPECT_GT(marked, 100) << row.record;
    }
  }
}

// The escaped values of the panel's blocks are read by PostScript as one string each.
TEST_F(OutPostscriptDataTest, GhostscriptReadsEscapedValuesBack) {
  Open();
  SetBidi(true);
  const std::string value = "x) } if (evil) show {\n%%EndFeature\r\nq\\\x01";
  SetValue("*KRCurveAdjust", value);
  const auto blocks = Blocks(Run(), "*KRCurveAdjust");
  ASSERT_EQ(blocks.size(), 2u);
  // The server's procedure prints what it received, as hex.
  const std::string job =
      "%!PS\n/VTXsetDynamicOption { (VALUE:) print exch pop "
      "{ 16 2 string cvrs dup length 1 eq { (0) print } if print } forall (\\n) print flush } def\n" +
      blocks[1] + "quit\n";
  const fs::path input = home_.path() / "escape.ps";
  std::ofstream(input, std::ios::binary) << job;
  const std::string output = (home_.path() / "escape.out").string();
  ASSERT_EQ(std::system(("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage '" + input.string() +
                         "' > '" + output + "' 2>&1")
                            .c_str()),
            0);
  std::string hex;
  for (unsigned char c : value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  EXPECT_EQ(ReadFile(output), "VALUE:" + hex + "\n");
}

}  // namespace
