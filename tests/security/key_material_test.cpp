#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Log.h"
#include "platform/Paths.h"
#include "security/KeyMaterial.h"
#include "support/TempDir.h"

using quill::KeyMaterial;

namespace {

std::string HexOf(size_t bytes, char digit) { return std::string(2 * bytes, digit); }

const std::string kFullFile =
    "# test key material\n"
    "\n"
    "job-note-keys = " +
    HexOf(240, 'a') +
    "\n"
    "  job-note-vectors=" +
    HexOf(96, 'B') +
    "  \r\n"
    "token-master-key = 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f"
    " 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f\n";

}  // namespace

TEST(KeyMaterial, ParsesTheDocumentedFormat) {
  std::string error = "stale";
  const KeyMaterial material = KeyMaterial::Parse(kFullFile, &error);
  EXPECT_EQ(error, "");
  ASSERT_NE(material.JobNoteKeys(), nullptr);
  ASSERT_NE(material.JobNoteVectors(), nullptr);
  ASSERT_NE(material.TokenMasterKey(), nullptr);
  EXPECT_EQ(material.JobNoteKeys()[239], 0xAA);
  EXPECT_EQ(material.JobNoteVectors()[95], 0xBB);
  EXPECT_EQ(material.TokenMasterKey()[0], 0x00);
  EXPECT_EQ(material.TokenMasterKey()[31], 0x1F);

  const KeyMaterial partial = KeyMaterial::Parse("token-master-key=" + HexOf(32, '1'), nullptr);
  EXPECT_NE(partial.TokenMasterKey(), nullptr);
  EXPECT_EQ(partial.JobNoteKeys(), nullptr) << "an entry left out is not configured";
  EXPECT_EQ(partial.JobNoteVectors(), nullptr);
}

TEST(KeyMaterial, MalformedFileConfiguresNothing) {
  const std::string master = "token-master-key = " + HexOf(32, '1') + "\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {master + "job-note-keys = " + HexOf(239, 'a'), "line 2: job-note-keys value is too short"},
      {master + "job-note-keys = " + HexOf(241, 'a'), "line 2: job-note-keys value is too long"},
      {master + "job-note-vectors = " + HexOf(95, 'a') + "g",
       "line 2: job-note-vectors value is not hexadecimal"},
      {master + master, "line 2: \"token-master-key\" is given twice"},
      {master + "master-key = " + HexOf(32, '1'), "line 2: unknown name"},
      {master + HexOf(32, '1'), "line 2: expected name = value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    std::string error;
    const KeyMaterial material = KeyMaterial::Parse(c.text, &error);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(material.TokenMasterKey(), nullptr);
    EXPECT_EQ(material.JobNoteKeys(), nullptr);
  }
}

TEST(KeyMaterial, SharedReadsTheKeyFileUnderTheRootAndReloads) {
  quill::testing::TempDir dir;
  quill::Paths::SetRoot(dir.path().string());
  std::vector<std::string> log;
  auto previous = quill::SetLogSink([&](std::string_view m) { log.emplace_back(m); });

  KeyMaterial::Reload();
  const KeyMaterial& shared = KeyMaterial::Shared();
  EXPECT_EQ(shared.TokenMasterKey(), nullptr);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("no key file at " + dir.path().string() + "/etc/quill/keys"),
            std::string::npos)
      << log[0];

  dir.Write("etc/quill/keys", kFullFile);
  KeyMaterial::Reload();
  ASSERT_NE(shared.TokenMasterKey(), nullptr) << "references from Shared see the reload";
  EXPECT_EQ(shared.TokenMasterKey()[1], 0x01);

  dir.Write("etc/quill/keys", "token-master-key = " + HexOf(31, 'c') + "\n");
  KeyMaterial::Reload();
  EXPECT_EQ(shared.TokenMasterKey(), nullptr);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[1].find("line 1: token-master-key value is too short"), std::string::npos);
  for (const std::string& message : log) {
    EXPECT_EQ(message.find("cccc"), std::string::npos) << "no key digits in the log";
  }

  quill::SetLogSink(previous);
  quill::Paths::ResetRoot();
  KeyMaterial::Reload();
}
