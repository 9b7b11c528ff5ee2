#include "PPDX/PPDHeaderReader.h"

#include <gtest/gtest.h>

#include "foundation/ProcessGlobals.h"
#include "support/TempDir.h"

using Result = PPDHeaderReader::Result;

TEST(PPDHeaderReader, ReadsTheBundledSample) {
  PPDHeaderReader reader(quill::testing::ExamplePath("QuillSample.ppd"));
  ASSERT_EQ(reader.Read(), Result::kOk);
  EXPECT_STREQ(reader.PCFileName(), "QUILLS01.PPD");
  EXPECT_STREQ(reader.ModelName(), "Quill Press 9000");
  EXPECT_STREQ(reader.LanguageVersion(), "English");
  EXPECT_STREQ(reader.LanguageEncoding(), "ISOLatin1");
  EXPECT_NE(reader.GetTextConverter(), nullptr);
}

TEST(PPDHeaderReader, RejectsWhatIsNotAPPD) {
  quill::testing::TempDir dir;
  struct Case {
    const char* name;
    std::string content;
    Result result;
  };
  const std::vector<Case> cases = {
      {"4.2 header", "*PPD-Adobe: \"4.2\"\n*ModelName: \"x\"\n", Result::kNotPPDFile},
      {"text", "hello\n", Result::kNotPPDFile},
      {"empty", "", Result::kNotPPDFile},
      {"CR only", "*PPD-Adobe: \"4.3\"\r*ModelName: \"CR\"\r", Result::kOk},
      {"CRLF", "*PPD-Adobe: \"4.3\"\r\n*ModelName: \"CRLF\"\r\n", Result::kOk},
      {"NUL bytes", std::string("*PPD-Adobe: \"4.3\"\n*Model\0Name: \"n\"\n", 35), Result::kOk},
  };
  for (const auto& c : cases) {
    PPDHeaderReader reader(dir.Write("f.ppd", c.content));
    EXPECT_EQ(reader.Read(), c.result) << c.name;
    EXPECT_EQ(reader.HasValidHeader(), c.result == Result::kOk) << c.name;
  }
  PPDHeaderReader reader(dir.path().string() + "/missing.ppd");
  EXPECT_EQ(reader.Read(), Result::kFileError);
}

TEST(PPDHeaderReader, StopsAtTheEndMarkerAndClearsItForTheNextFile) {
  quill::testing::TempDir dir;
  const std::string path = dir.Write(
      "end.ppd", "*PPD-Adobe: \"4.3\"\n*% End of PPD file\n*ModelName: \"hidden\"\n");
  PPDHeaderReader first(path);
  ASSERT_EQ(first.Read(), Result::kOk);
  EXPECT_EQ(first.ModelName(), nullptr);
  EXPECT_TRUE(Globals().endOfPPDLatch);

  PPDHeaderReader second(quill::testing::ExamplePath("QuillSample.ppd"));
  ASSERT_EQ(second.Read(), Result::kOk);
  EXPECT_STREQ(second.ModelName(), "Quill Press 9000");
  ResetProcessGlobals();
}
