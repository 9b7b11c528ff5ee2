#include "foundation/CStringSoup.h"

#include <gtest/gtest.h>

#include <string>

TEST(CStringSoup, InternsEachTextOnceInInsertionOrder) {
  CStringSoup soup;
  EXPECT_EQ(soup.Insert("*PageSize"), 0);
  EXPECT_EQ(soup.Insert("*InputSlot"), 1);
  EXPECT_EQ(soup.Insert("*PageSize"), 0);  // present: the old index, nothing stored
  EXPECT_EQ(soup.Insert("*pagesize"), 2);  // comparison is exact
  EXPECT_EQ(soup.Insert(""), 3);
  EXPECT_EQ(soup.size(), 4u);

  EXPECT_STREQ(soup.Find(1L), "*InputSlot");
  EXPECT_EQ(soup.Find("*pagesize"), 2);
  EXPECT_EQ(soup.Find("*Duplex"), -1);
  EXPECT_EQ(soup.Find(4L), nullptr);
  EXPECT_EQ(soup.Find(-1L), nullptr);
  EXPECT_EQ(soup.Insert(nullptr), -1);
  EXPECT_EQ(soup.Find(static_cast<char const*>(nullptr)), -1);
  EXPECT_EQ(soup.size(), 4u);
}

TEST(CStringSoup, StoresItsOwnCopies) {
  CStringSoup soup;
  char text[] = "Letter";
  soup.Insert(text);
  text[0] = 'X';
  EXPECT_STREQ(soup.Find(0L), "Letter");
  EXPECT_NE(soup.Find(0L), text);
  EXPECT_EQ(soup.Find("Letter"), 0);
  EXPECT_EQ(soup.Find("Xetter"), -1);
}

TEST(CStringSoup, IndexesStayValidAsTheTableGrows) {
  // Past the reserved 512 entries the table reallocates; every text must still be found at the
  // index it was given, and still read back intact.
  CStringSoup soup;
  constexpr long kCount = 2000;
  for (long i = 0; i < kCount; ++i) {
    ASSERT_EQ(soup.Insert(("Option" + std::to_string(i)).c_str()), i);
  }
  for (long i = 0; i < kCount; ++i) {
    const std::string text = "Option" + std::to_string(i);
    ASSERT_EQ(soup.Find(text.c_str()), i);
    ASSERT_EQ(soup.Find(i), text);
  }
}

TEST(CStringSoup, ClearForgetsEverything) {
  CStringSoup soup;
  soup.Insert("a");
  soup.Insert("b");
  soup.Clear();
  EXPECT_EQ(soup.size(), 0u);
  EXPECT_EQ(soup.Find("a"), -1);
  EXPECT_EQ(soup.Find(0L), nullptr);
  EXPECT_EQ(soup.Insert("b"), 0);  // indexes start again
}

TEST(CStringSoup, AFullTableRefusesNewTextsButStillFindsItsOwn) {
  CStringSoup soup(2);
  EXPECT_EQ(soup.Insert("A4"), 0);
  EXPECT_EQ(soup.Insert("Letter"), 1);
  EXPECT_EQ(soup.Insert("Legal"), -1);  // reported, not thrown
  EXPECT_EQ(soup.Insert("Letter"), 1);
  EXPECT_EQ(soup.Find("Legal"), -1);
  EXPECT_EQ(soup.size(), 2u);
  soup.Clear();
  EXPECT_EQ(soup.Insert("Legal"), 0);
}
