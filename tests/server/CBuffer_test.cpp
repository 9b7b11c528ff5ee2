#include "server/CBuffer.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(CBuffer, BuildsWideTextFromPieces) {
  CBuffer buffer;
  EXPECT_EQ(buffer.AddCString("3\n"), 2);
  EXPECT_EQ(buffer.AddString(L"Cyan@"), 5);
  EXPECT_EQ(buffer.AddInt(-42), 3);
  EXPECT_EQ(buffer.AddCString("@caf\xE9@"), 6);
  EXPECT_EQ(buffer.AddFloat(2.5f), 3);
  buffer.AddString(L"@");
  buffer.AddFloat(1e7f);
  buffer.AddString(L"@\u20ac");
  EXPECT_EQ(buffer.GetStringData(), L"3\nCyan@-42@caf\u00e9@2.5@1e+07@\u20ac");
  EXPECT_EQ(buffer.GetCStrData(), "3\nCyan@-42@caf\xE9@2.5@1e+07@?");
}

TEST(CBuffer, NumbersDoNotFollowTheLocale) {
  // A default stream uses the classic locale whatever the C locale says.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  CBuffer buffer;
  buffer.AddFloat(0.75f);
  buffer.AddInt(1234567);
  EXPECT_EQ(buffer.GetStringData(), L"0.751234567");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
