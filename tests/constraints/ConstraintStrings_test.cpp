// The store's interning table as the store fills it: texts told apart only past their first
// bytes, long texts, and the store's shortcut for a key handed over again, which must give the
// ids that interning gives, also after the table has been emptied behind the store's back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "constraints/UIConstraints.h"
#include "foundation/CStringSoup.h"

TEST(ConstraintStrings, TextsDifferingAnywhereGetTheirOwnIds) {
  const std::string long_text(5000, 'k');  // larger than a block's share: stored on its own
  const std::vector<std::string> texts = {
      "",
      "*KRPopup0001",
      "*KRPopup0001x",
      "*KRPopupOptionA",   // 15 bytes
      "*KRPopupOptionAB",  // 16 bytes: differs at the last byte of the compared head only
      "*KRPopupOptionABC",
      "*KRPopupOptionABD",
      "*KRPopupOptionABCDEFGHIJKLMNOPQRSTUVWXYZ-1",
      "*KRPopupOptionABCDEFGHIJKLMNOPQRSTUVWXYZ-2",
      long_text,
      long_text + "!",
      std::string(63, 'x'),
      std::string(64, 'x'),
  };
  CStringSoup soup;
  for (size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(soup.Insert(texts[i].c_str()), static_cast<long>(i)) << i;
  }
  // Enough further texts to grow the index several times.
  for (int i = 0; i < 5000; ++i)
    soup.Insert(("*KRPopupOptionABCDEFGH" + std::to_string(i)).c_str());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(soup.Find(texts[i].c_str()), static_cast<long>(i)) << i;
    EXPECT_EQ(soup.Insert(texts[i].c_str()), static_cast<long>(i)) << i;
    EXPECT_EQ(soup.Find(static_cast<long>(i)), texts[i]) << i;
  }
  EXPECT_EQ(soup.Find("*KRPopupOptionABCDEFGH4999"), static_cast<long>(texts.size()) + 4999);
  EXPECT_EQ(soup.Find("*KRPopupOptionABCDEFGH5000"), -1);
  EXPECT_EQ(soup.Find("*KRPopupOptionABE"), -1);
  EXPECT_EQ(soup.Find((long_text + "?").c_str()), -1);
  EXPECT_EQ(soup.size(), texts.size() + 5000);
}

TEST(ConstraintStrings, StoreGivesTheIdsThatInterningGives) {
  UIConstraints ui;
  CStringSoup* strings = ui.GetConstraintStrings();
  ui.UpdateKVCache("*Duplex", "None");
  ui.KVSInsert("*Duplex", "None");
  ui.KVSInsert("*Duplex", "DuplexTumble");
  ui.KVSInsert("*InputSlot", "Tray1");
  ui.KVSInsert("*Duplex", "DuplexNoTumble");
  EXPECT_EQ(strings->Find("*Duplex"), 0);
  EXPECT_EQ(strings->Find("None"), 1);
  EXPECT_EQ(strings->Find("DuplexTumble"), 2);
  EXPECT_EQ(strings->Find("*InputSlot"), 3);
  EXPECT_EQ(strings->Find("DuplexNoTumble"), 5);
  EXPECT_EQ(strings->size(), 6u);

  // Emptied and filled again in another order: the old ids mean other texts now.
  strings->Clear();
  strings->Insert("Tray1");
  strings->Insert("*InputSlot");
  ui.KVSInsert("*InputSlot", "Tray2");
  EXPECT_EQ(strings->Find("Tray2"), 2);
  ui.UpdateKVCache("*Duplex", "None");
  EXPECT_EQ(strings->Find("*Duplex"), 3);
  ui.KVSInsert("*Duplex", "None");
  EXPECT_EQ(strings->size(), 5u);
  EXPECT_EQ(strings->Find("None"), 4);
}
