#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "foundation/ProcessGlobals.h"
#include "platform/PrintSession.h"
#include "platform/SystemInfo.h"
#include "ppddata/BlockTestData.h"
#include "ppddata/KRPDEData.h"
#include "ppddata/OpenStepPlist.h"
#include "ppddata/PopupJnRecord.h"
#include "support/TempDir.h"

namespace {

using namespace quill::testing;
using quill::OpenStepPlist;

TEST(BuildPopupJnRecord, NeverStoresPasswordText) {
  quill::PopupJobNoteRecord record;
  record.enabled = true;
  record.accountSettingOne = false;
  record.showLast = true;
  record.slots[0] = {"AccountName", "alice", false};
  record.slots[1] = {"AccountPIN", "secret-1234", true};
  record.slots[2] = {"Notes1", "two\nlines\r", false};
  EXPECT_EQ(quill::BuildPopupJnRecord(record),
            "121AccountName\nalice\nAccountPIN\n\nNotes1\ntwo lines \n\n\n\n\n");
}

TEST(UpdatePopupJnDictionary, KeepsOtherUsersAndRefusesUnreadableBlocks) {
  auto first = quill::UpdatePopupJnDictionary("", "alice", "100A\nx\n");
  ASSERT_TRUE(first);
  auto second = quill::UpdatePopupJnDictionary(*first, "bob smith", "011B\n\"q\"\n");
  ASSERT_TRUE(second);
  auto third = quill::UpdatePopupJnDictionary(*second + std::string(1, '\0') + "junk", "alice", "new");
  ASSERT_TRUE(third);
  auto parsed = OpenStepPlist::Parse(*third);
  ASSERT_TRUE(parsed && parsed->IsDictionary());
  EXPECT_THAT(parsed->Keys(), ::testing::ElementsAre("alice", "bob smith"));
  EXPECT_EQ(parsed->Find("alice")->String(), "new");
  EXPECT_EQ(parsed->Find("bob smith")->String(), "011B\n\"q\"\n");

  EXPECT_FALSE(quill::UpdatePopupJnDictionary("{ broken", "alice", "x"));
  EXPECT_FALSE(quill::UpdatePopupJnDictionary("( not, a, dictionary )", "alice", "x"));
}

class KRPDEDataWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessGlobals();
    quill::PrintSession::Reset();
    quill::SystemInfo::SetUserName("alice");
  }
  void TearDown() override {
    ResetProcessGlobals();
    quill::SystemInfo::Reset();
  }
  TempDir dir_;
};

TEST_F(KRPDEDataWriteTest, AnswersWhyNothingWasSent) {
  EXPECT_EQ(KRPDEDataWrite(nullptr, "x"), 1) << "no PPD path";
  Globals().currentPPDPath = (dir_.path() / "missing.ppd").string();
  EXPECT_EQ(KRPDEDataWrite(nullptr, "x"), 2) << "a PPD that does not open";
  Globals().currentPPDPath =
      dir_.Write("bad.ppd", PPDText(BlockOf("KRPopupJnData", "{ bob = \"unterminated; }")));
  EXPECT_EQ(KRPDEDataWrite(nullptr, "x"), 2) << "an unreadable record block";
  Globals().currentPPDPath = dir_.Write("good.ppd", PPDText(BlockOf("KRPopupJnData", "{ bob = 1; }")));
  EXPECT_EQ(KRPDEDataWrite(nullptr, "x"), 3) << "no printer chosen";
  EXPECT_EQ(KRPDEDataWrite(nullptr, nullptr), -1);
}

}  // namespace
