#include "output/KRTJobNoteList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "OutputFixtures.h"
#include "output/KRTJobTicket.h"
#include "platform/PrintSettings.h"
#include "security/AES256CBC.h"
#include "security/DES.h"

namespace quill::testing {
namespace {

using Piece = KRTJobTicket::Piece;

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The DES form read back with the key at `offset` of the test key table, padding removed.
std::string DESPlain(const std::string& hex, int offset) {
  std::vector<uint8_t> key = TestBytes(240, 0);
  std::vector<uint8_t> bytes = FromHex(hex);
  deskey(key.data() + offset, DE1);
  for (size_t at = 0; at + 8 <= bytes.size(); at += 8) des(bytes.data() + at, bytes.data() + at);
  if (bytes.empty() || bytes.back() < 1 || bytes.back() > 8) return "<bad padding>";
  return std::string(bytes.begin(), bytes.end() - bytes.back());
}

// The AES form read back with the key and vector at the given offsets, up to its NUL.
std::string AESPlain(const std::string& hex, int keyOffset, int vectorOffset) {
  std::vector<uint8_t> key = TestBytes(240, 0);
  std::vector<uint8_t> vectors = TestBytes(96, 0x80);
  std::vector<uint8_t> bytes = FromHex(hex);
  std::vector<char> out(bytes.size() + 16);
  int length = static_cast<int>(out.size());
  AES256CBC aes;
  aes.DoAES256Decrypt(reinterpret_cast<char*>(key.data() + keyOffset),
                      reinterpret_cast<char*>(vectors.data() + vectorOffset),
                      reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                      out.data(), &length);
  return std::string(out.data());
}

class JobNoteListTest : public OutputTest {
 protected:
  // Runs the output of `ppd`'s notes into a fresh ticket; returns the status.
  int Write(KRTPPD& ppd, int orientation = KRTJobNoteList::kPortrait,
            const PrintSettings* settings = nullptr) {
    ticket_.Create();
    KRTJobNoteList list(&ppd, false, orientation);
    const int status = list.outInjectionData(&ticket_, settings);
    error_ = list.LastError();
    return status;
  }
  // The pieces under `site`.
  std::vector<std::string> At(PostScriptInjectionSite site) const {
    std::vector<std::string> texts;
    for (const Piece& piece : *ticket_.Pieces()) {
      if (piece.site == site) texts.push_back(piece.data);
    }
    return texts;
  }
  // The one piece under `site` that starts with `prefix`; "" when none.
  std::string Find(PostScriptInjectionSite site, const std::string& prefix) const {
    for (const std::string& text : At(site)) {
      if (text.rfind(prefix, 0) == 0) return text;
    }
    return "";
  }

  KRTJobTicket ticket_{nullptr, nullptr, CreatePostscriptDataFileKey()};
  std::string error_;
};

TEST_F(JobNoteListTest, ListHoldsEveryNoteButTheControlBar) {
  auto ppd = Load();
  KRTJobNoteList list(ppd.get(), false);
  EXPECT_FALSE(list.Empty());
  EXPECT_EQ(list.UTF8Version(), 7);
  EXPECT_EQ(list.find("*KRControlBar"), nullptr);
  EXPECT_EQ(list.find(nullptr), nullptr);
  ASSERT_NE(list.find("*Notes1"), nullptr);
  EXPECT_EQ(list.find("*Notes1")->UserData(), "hello");
  EXPECT_EQ(list.Count(), 13);

  short index = 0;
  EXPECT_TRUE(list.find("*KRUserAuthPwd")->specialKeyword(&index));
  EXPECT_EQ(index, KRTJobNote::kUserAuthPassword);
  EXPECT_FALSE(list.find("*KRNote")->specialKeyword(&index));
  EXPECT_EQ(index, -1);

  char small[4];
  EXPECT_EQ(list.find("*Notes1")->getUserData(small, sizeof small), 6);
  EXPECT_STREQ(small, "hel");
  EXPECT_EQ(list.find("*Instruct")->getUserData(nullptr, 0), 0);  // no text

  EXPECT_TRUE(list.find("*KRFields")->checkRangeValues("12,34"));
  EXPECT_FALSE(list.find("*KRFields")->checkRangeValues("123"));
  EXPECT_TRUE(list.find("*KRNote")->checkRangeValues("123"));
}

TEST_F(JobNoteListTest, WithoutNotesOnlyTheLayoutLinesGoOut) {
  // Every job-note line of the fixture starts alike; take them all out.
  std::string text = ReadFile(FixturePath("JobNotes.ppd"));
  for (size_t at; (at = text.find("*%KRTJobNote:")) != std::string::npos;) text.replace(at, 13, "*% x:");
  Globals().endOfPPDLatch = false;
  PPDPtr bare(new KRTPPD(ppds_.Write("bare.ppd", text), 3));
  KRTJobNoteList list(bare.get(), false);
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.outInjectionData(&ticket_, nullptr), KRTJobNoteList::kStatusOk);
  EXPECT_EQ(*ticket_.Pieces(), (std::vector<Piece>{{kSiteLayoutHeader, "%%MacCoreNUp: true\n"},
                                                   {kSiteLayoutHeader, "%%Orientation: Portrait\n"}}));
}

TEST_F(JobNoteListTest, LayoutDecidesTheOrientationLine) {
  auto ppd = Load();
  struct Row {
    int orientation;
    int64_t rows, columns;  // 0: no N-up entry
    const char* line;
  };
  const Row rows[] = {
      {1, 0, 0, "%%Orientation: Portrait\n"},   {2, 0, 0, "%%Orientation: Landscape\n"},
      {1, 1, 2, "%%Orientation: Landscape\n"},  {3, 3, 2, "%%Orientation: Landscape\n"},
      {2, 2, 1, "%%Orientation: Portrait\n"},   {4, 1, 6, "%%Orientation: Portrait\n"},
      {1, 2, 2, "%%Orientation: Portrait\n"},   {1, int64_t{1} << 33, 2, "%%Orientation: Portrait\n"},
      {1, -1, -2, "%%Orientation: Portrait\n"},
  };
  for (const Row& row : rows) {
    PrintSettings settings;
    if (row.rows != 0) {
      settings.SetBoolean(KRTJobNoteList::kLayoutNUpKey, true);
      settings.SetInteger(KRTJobNoteList::kLayoutRowsKey, row.rows);
      settings.SetInteger(KRTJobNoteList::kLayoutColumnsKey, row.columns);
    }
    ASSERT_EQ(Write(*ppd, row.orientation, &settings), KRTJobNoteList::kStatusOk) << error_;
    EXPECT_EQ(At(kSiteLayoutHeader),
              (std::vector<std::string>{"%%MacCoreNUp: true\n", row.line}))
        << row.orientation << " " << row.rows << "x" << row.columns;
  }
}

TEST_F(JobNoteListTest, SpecialNotesWriteTheirHeaderLines) {
  auto ppd = Load();
  Note(*ppd, "*Instruct")->SetNotes("staple left");
  Note(*ppd, "*KRTPrintTime")->SetNotes("12:30");
  ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;
  EXPECT_EQ(Find(kSiteJobNote, "%%KRTCustom1: "), "%%KRTCustom1: hello\n");
  EXPECT_EQ(Find(kSiteJobNote, "%%KRTCustom3: "), "%%KRTCustom3: staple left\n");
  EXPECT_EQ(Find(kSiteJobNote, "%%KRTPrintTime: "), "%%KRTPrintTime: 12:30\n");
  // Notes without text write nothing.
  EXPECT_EQ(Find(kSiteJobNote, "%%DeptPassword: "), "");
}

TEST_F(JobNoteListTest, EncipheredNotesUseTheSpecialKey) {
  auto ppd = Load();  // *UseSpecialKey 5: key at 56, vector at 16
  Note(*ppd, "*DeptPassword")->SetNotes("12345678");
  Note(*ppd, "*Resume")->SetNotes("4711");
  ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;

  const std::string dept = Find(kSiteJobNote, "%%DeptPassword: ");
  ASSERT_FALSE(dept.empty());
  const std::string dept_hex = dept.substr(16, dept.size() - 17);
  EXPECT_EQ(dept_hex.size(), 32u);  // 8 bytes and a full pad block
  EXPECT_EQ(DESPlain(dept_hex, 56), "12345678");
  EXPECT_EQ(dept_hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);

  const std::string resume = Find(kSiteJobNote, "%%PersPassword: ");
  ASSERT_FALSE(resume.empty());
  EXPECT_EQ(AESPlain(resume.substr(16, resume.size() - 17), 56, 16), "4711");
  // The plain texts are nowhere in the ticket, and the notes keep them.
  for (const Piece& piece : *ticket_.Pieces()) {
    EXPECT_EQ(piece.data.find("12345678"), std::string::npos) << piece.data;
  }
  EXPECT_STREQ(Note(*ppd, "*DeptPassword")->GetNotes(), "12345678");
}

TEST_F(JobNoteListTest, EncipheredFeatureBlockCarriesTheHexText) {
  auto ppd = Load({{"*UseSpecialKey: 5", "*UseSpecialKey: 13"}});  // 13: no special key
  Note(*ppd, "*KRSecure")->SetNotes("2468");
  ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;
  const std::string block = Find(kSiteFeature, "%%BeginFeature: *KRSecure ");
  ASSERT_FALSE(block.empty());
  const size_t start = std::strlen("%%BeginFeature: *KRSecure ");
  const std::string hex = block.substr(start, 16);
  EXPECT_EQ(DESPlain(hex, 0), "2468");
  EXPECT_STREQ(Note(*ppd, "*KRSecure")->GetNotes(), "2468");  // put back afterwards
}

TEST_F(JobNoteListTest, KeyTableOffsets) {
  struct Row {
    const char* value;
    int key, vector;
  };
  const Row rows[] = {{nullptr, 0, 0}, {"1", 0, 0},    {"2", 8, 0},    {"4", 24, 0},
                      {"5", 56, 16},   {"7", 120, 48}, {"10", 168, 0}, {"11", 176, 64},
                      {"12", 208, 80}, {"13", 0, 0},   {"05", 0, 0}};
  for (const Row& row : rows) {
    const auto offsets = KRTJobNoteList::SpecialKeyOffsets(row.value);
    EXPECT_EQ(offsets.key, row.key) << (row.value ? row.value : "absent");
    EXPECT_EQ(offsets.vector, row.vector) << (row.value ? row.value : "absent");
  }
}

TEST_F(JobNoteListTest, LongTextsAreEncipheredWhole) {
  auto ppd = Load();
  for (size_t size : {127u, 128u, 200u, 1000u}) {
    const std::string text(size, '7');
    Note(*ppd, "*DeptPassword")->SetNotes(text.c_str());
    ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;
    const std::string line = Find(kSiteJobNote, "%%DeptPassword: ");
    const std::string hex = line.substr(16, line.size() - 17);
    EXPECT_EQ(hex.size(), 2 * (size / 8 + 1) * 8) << size;
    EXPECT_EQ(DESPlain(hex, 56), text) << size;
  }
  // The AES form has a fixed cipher buffer: a text too long for it is refused, not cut.
  Note(*ppd, "*DeptPassword")->SetNotes("");
  Note(*ppd, "*Resume")->SetNotes(std::string(300, '1').c_str());
  EXPECT_EQ(Write(*ppd), KRTJobNoteList::kStatusRefused);
  EXPECT_NE(error_.find("*Resume"), std::string::npos) << error_;
  EXPECT_NE(error_.find("too long"), std::string::npos) << error_;
}

TEST_F(JobNoteListTest, MissingKeysRefuseTheNoteAndWriteNothing) {
  struct Row {
    bool keys, vectors;
    const char* note;
    const char* missing;
  };
  const Row rows[] = {{false, true, "*DeptPassword", "keys"},
                      {true, false, "*Resume", "vectors"},
                      {false, false, "*KRSecure", "keys"}};
  for (const Row& row : rows) {
    WriteKeys(row.keys, row.vectors, true);
    auto ppd = Load();
    Note(*ppd, row.note)->SetNotes("1234");
    ticket_.Create();
    ticket_.Add(kSiteHeader, std::string_view("%%KRTDriver\n"));
    KRTJobNoteList list(ppd.get(), false);
    EXPECT_EQ(list.outInjectionData(&ticket_, nullptr), KRTJobNoteList::kStatusRefused) << row.note;
    EXPECT_NE(list.LastError().find(row.note), std::string::npos) << list.LastError();
    EXPECT_NE(list.LastError().find(std::string("job-note ") + row.missing + " are not configured"),
              std::string::npos)
        << list.LastError();
    // Nothing of the notes went in: in particular not the text in plain.
    EXPECT_EQ(*ticket_.Pieces(), (std::vector<Piece>{{kSiteHeader, "%%KRTDriver\n"}}));
  }
}

TEST_F(JobNoteListTest, TextsThatWouldBreakTheirLineAreRefused) {
  const char* notes[] = {"*Notes1", "*KRNote", "*KRComment", "*KRDSPassword", "*DeptPassword"};
  const char* texts[] = {
      "x\n%%EndFeature\n%%BeginFeature: *Forged True",
      "x\r%%KRTCustom2: forged",
      "tab\there",
      "bell\x07",
      "del\x7F",
      "\n",
  };
  for (const char* keyword : notes) {
    for (const char* text : texts) {
      auto ppd = Load();
      Note(*ppd, keyword)->SetNotes(text);
      EXPECT_EQ(Write(*ppd), KRTJobNoteList::kStatusRefused) << keyword;
      EXPECT_NE(error_.find(keyword), std::string::npos) << error_;
      EXPECT_NE(error_.find("control character"), std::string::npos) << error_;
      EXPECT_EQ(ticket_.Count(), 0u) << keyword;
    }
  }
}

TEST_F(JobNoteListTest, PlainTextsStayInsideTheirLineAndString) {
  auto ppd = Load();
  Note(*ppd, "*Notes1")->SetNotes("%%EndFeature %%KRTCustom2: (x)");
  Note(*ppd, "*KRNote")->SetNotes("a) evil (");
  ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;
  EXPECT_EQ(Find(kSiteJobNote, "%%KRTCustom1: "), "%%KRTCustom1: %%EndFeature %%KRTCustom2: (x)\n");
  // A note whose code holds its text in a string gets a hex string.
  EXPECT_EQ(Find(kSiteFeature, "%%BeginFeature: *KRNote "),
            "%%BeginFeature: *KRNote a) evil (\n<6129206576696C2028> KRsetnote\n%%EndFeature\n");
  // Every piece is whole lines: no text added a line of its own.
  for (const Piece& piece : *ticket_.Pieces()) {
    size_t lines = 0;
    for (char c : piece.data) lines += c == '\n';
    if (piece.site == kSiteJobNote) {
      EXPECT_LE(lines, 1u) << piece.data;
    }
  }
}

TEST_F(JobNoteListTest, UserAuthenticationNameAndToken) {
  struct Row {
    const char* name;
    const char* escaped;
  };
  const Row rows[] = {
      {"dom/:user", "dom/:/:user"},
      {"a/:b/:c", "a/:/:b/:/:c"},  // every place, not only the first
      {"a//b/:c", "a//b/:/:c"},    // "//" does not end the scan
      {"plain", "plain"},
      {"end/", "end/"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EscapeUserAuthName(row.name), row.escaped);
    auto ppd = Load();
    Note(*ppd, "*KRUserAuthName")->SetNotes(row.name);
    Note(*ppd, "*KRUserAuthPwd")->SetNotes("secret");
    ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;
    EXPECT_STREQ(Note(*ppd, "*KRUserAuthName")->GetNotes(), row.escaped);
    const std::string tag = Find(kSiteJobNote, "%%KRTUATag: ");
    ASSERT_FALSE(tag.empty()) << row.name;
    const std::string token = tag.substr(12, tag.size() - 13);
    // D = 36 + name + password; N rounds 24 + D up past a multiple of 16; 4 * ceil((N+48)/3).
    const size_t d = 36 + std::strlen(row.escaped) + 6;
    const size_t n = (24 + d) / 16 * 16 + 16;
    EXPECT_EQ(token.size(), 4 * ((n + 48 + 2) / 3)) << row.name;
    EXPECT_EQ(token.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    for (const Piece& piece : *ticket_.Pieces()) {
      EXPECT_EQ(piece.data.find("secret"), std::string::npos) << piece.data;
    }
  }
}

TEST_F(JobNoteListTest, PasswordWithoutNameAddsAnEmptyPiece) {
  auto ppd = Load({{"*KRTAuthenticateWithLDAP: True", "*KRTAuthenticateWithLDAP: False"}});
  Note(*ppd, "*KRUserAuthName")->SetNotes("someone");
  Note(*ppd, "*KRUserAuthPwd")->SetNotes("secret");
  ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;
  EXPECT_EQ(Find(kSiteJobNote, "%%KRTUATag: "), "");
  size_t empty = 0;
  for (const std::string& text : At(kSiteJobNote)) empty += text.empty();
  EXPECT_EQ(empty, 2u);  // one for the name, one for the password
}

TEST_F(JobNoteListTest, TokenWithoutMasterKeyIsRefused) {
  WriteKeys(true, true, false);
  auto ppd = Load();
  Note(*ppd, "*KRUserAuthName")->SetNotes("user");
  Note(*ppd, "*KRUserAuthPwd")->SetNotes("secret");
  EXPECT_EQ(Write(*ppd), KRTJobNoteList::kStatusRefused);
  EXPECT_NE(error_.find("*KRUserAuthPwd"), std::string::npos) << error_;
  EXPECT_EQ(ticket_.Count(), 0u);
}

TEST_F(JobNoteListTest, NotesWithCodeGetFeatureBlocks) {
  auto ppd = Load();
  Note(*ppd, "*KRComment")->SetNotes("A(B)\\");
  Note(*ppd, "*KRDSPassword")->SetNotes("p\\w");
  Note(*ppd, "*PresetName")->SetNotes("Mine");
  ASSERT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk) << error_;
  EXPECT_EQ(Find(kSiteFeature, "%%BeginFeature: *KRComment "),
            "%%BeginFeature: *KRComment A(B)\\\n%%KRComment: A(B)\\\n%%EndFeature\n");
  EXPECT_EQ(Find(kSiteFeature, "%%BeginFeature: *KRDSPassword "),
            "%%BeginFeature: *KRDSPassword p\\w\n(p\\\\w) KRsetdspassword\n%%EndFeature\n");
  EXPECT_EQ(Find(kSiteFeature, "%%BeginFeature: *PresetName "),
            "%%BeginFeature: *PresetName Mine\n%%PresetName: Mine\n%%EndFeature\n");
  // Notes without PPD code, and notes without text, have no block.
  EXPECT_EQ(Find(kSiteFeature, "%%BeginFeature: *Notes1 "), "");
  EXPECT_EQ(Find(kSiteFeature, "%%BeginFeature: *KRNote "), "");
}

TEST_F(JobNoteListTest, NullTicketAndNullPPD) {
  KRTJobNoteList none(nullptr, false);
  EXPECT_TRUE(none.Empty());
  EXPECT_EQ(none.outInjectionData(nullptr, nullptr), KRTJobNoteList::kStatusNoTicket);
  EXPECT_EQ(none.outInjectionData(&ticket_, nullptr), KRTJobNoteList::kStatusOk);
  EXPECT_EQ(ticket_.Count(), 2u);
}

TEST_F(JobNoteListTest, UserAuthenticationMarkIsClearedAfterWriting) {
  auto ppd = Load();
  {
    KRTJobNoteList list(ppd.get(), false);
    EXPECT_TRUE(JobNoteOutput().userAuthNameInitialised);
    EXPECT_EQ(list.outInjectionData(&ticket_, nullptr), KRTJobNoteList::kStatusOk);
  }
  EXPECT_FALSE(JobNoteOutput().userAuthNameInitialised);
  // An empty name stays empty within a print (the mark is set by the list).
  EXPECT_EQ(Write(*ppd), KRTJobNoteList::kStatusOk);
  EXPECT_STREQ(Note(*ppd, "*KRUserAuthName")->GetNotes() ? Note(*ppd, "*KRUserAuthName")->GetNotes() : "", "");
}

}  // namespace
}  // namespace quill::testing
