#include "output/KRTWatermarkList.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string Record(int number, bool firstPage = false) {
  return "0,0,0,0,0,0,0," + std::string(firstPage ? "1" : "0") + ",0,450,0,0,48,Helvetica,Mark " +
         std::to_string(number);
}

KRTWatermarkList ListOf(int count) {
  KRTWatermarkList list;
  for (int i = 0; i < count; ++i) EXPECT_TRUE(list.Add(Record(i).c_str()));
  return list;
}

TEST(KRTWatermarkList, ModuleSelection) {
  const struct {
    int records;
    const char* value;
    int selected;
  } cases[] = {
      {20, "0", -1}, {20, "1", 0},   {20, "20", 19}, {20, "25", 19},
      {3, "3", 2},   {3, "4", -1},   {3, "25", -1},  // a position the list lacks selects nothing
      {3, "-2", -1}, {3, "x", -1},   {3, "", -1},    {3, "99999999999999999999", -1},
  };
  for (const auto& c : cases) {
    KRTWatermarkList list = ListOf(c.records);
    list.Select(1);
    EXPECT_TRUE(list.ApplyModuleSetting("*KR_WATERMARK", c.value));
    EXPECT_EQ(list.SelectedIndex(), c.selected) << c.records << " " << c.value;
  }
}

TEST(KRTWatermarkList, FirstPageFlagFollowsTheSelection) {
  KRTWatermarkList list = ListOf(2);
  EXPECT_TRUE(list.ApplyModuleSetting("*KR_WATERMARK_FIRSTPAGEONLY", "True"));  // none selected
  EXPECT_FALSE(list.At(0)->FirstPageOnly());
  EXPECT_EQ(list.FirstPageInfo(), 0);

  list.ApplyModuleSetting("*KR_WATERMARK", "2");
  list.ApplyModuleSetting("*KR_WATERMARK_FIRSTPAGEONLY", "True");
  EXPECT_TRUE(list.At(1)->FirstPageOnly());
  EXPECT_EQ(list.FirstPageInfo(), 1);
  EXPECT_FALSE(list.ApplyModuleSetting("*KR_COPIES", "2"));

  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(list.ModuleSelection(std::nullopt),
            (Pairs{{"*KR_WATERMARK", "2"}, {"*KR_WATERMARK_FIRSTPAGEONLY", "True"}}));
  EXPECT_EQ(list.ModuleSelection(0),  // the print settings entry wins over the record
            (Pairs{{"*KR_WATERMARK", "2"}, {"*KR_WATERMARK_FIRSTPAGEONLY", "False"}}));
  list.Select(-1);
  EXPECT_EQ(list.ModuleSelection(std::nullopt),
            (Pairs{{"*KR_WATERMARK", "0"}, {"*KR_WATERMARK_FIRSTPAGEONLY", "False"}}));
}

TEST(KRTWatermarkList, RestoredSelectionIsCheckedAgainstTheList) {
  const struct {
    std::optional<long long> index;
    long long stored;
    std::optional<long long> first_page;
    int selected;
    bool flag;
  } cases[] = {
      {1, 3, 1, 1, true},
      {1, 3, 0, 1, false},
      {1, 3, std::nullopt, 1, false},
      {std::nullopt, 3, 1, -1, false},
      {-1, 3, 1, -1, false},
      {-5, 3, 1, -1, false},  // negative: nothing, never a record before the list
      {3, 3, 1, -1, false},   // at the stored count
      {2, 5, 1, 2, true},
      {4, 5, 1, -1, false},   // stored count larger than the list that was loaded
  };
  for (const auto& c : cases) {
    KRTWatermarkList list = ListOf(3);
    list.Select(0);
    list.RestoreSelection(c.index, c.stored, c.first_page);
    EXPECT_EQ(list.SelectedIndex(), c.selected);
    EXPECT_EQ(list.FirstPageInfo(), c.flag ? 1 : 0);
  }
}

TEST(KRTWatermarkList, StoredLinesRoundTrip) {
  KRTWatermarkList list;
  EXPECT_FALSE(list.LoadFromLines({}));
  const std::vector<std::string> lines{Record(0), Record(1, true),
                                       "0,,,,,,,,,,,,10,Courier,a,b,,c"};
  ASSERT_TRUE(list.LoadFromLines(lines));
  EXPECT_EQ(list.StoredLines(), lines);
  EXPECT_TRUE(list.At(1)->FirstPageOnly());
  EXPECT_EQ(list.At(2)->Text(), "a,b,,c");

  list.Select(2);
  ASSERT_TRUE(list.LoadFromLines({Record(5)}));  // the selection no longer names a record
  EXPECT_EQ(list.SelectedIndex(), -1);
  EXPECT_FALSE(list.LoadFromLines({}));
  EXPECT_EQ(list.Count(), 1);  // no lines leave the list alone
}

TEST(KRTWatermarkList, LoadingDropsRefusedAndSurplusRecords) {
  std::vector<std::string> lines;
  for (int i = 0; i < 120; ++i) lines.push_back(Record(i));
  lines[3] = "0,0,0,0,0,0,0,0,0,0,0,0,10,Helvetica,x\r%%EOF";
  KRTWatermarkList list;
  ASSERT_TRUE(list.LoadFromLines(lines));
  EXPECT_EQ(list.Count(), 99);
  EXPECT_EQ(list.At(3)->Text(), "Mark 4");
  EXPECT_EQ(list.At(98)->Text(), "Mark 99");
  EXPECT_FALSE(list.Add(Record(200).c_str()));
  std::string why;
  KRTWatermarkList other;
  EXPECT_FALSE(other.Add(lines[3].c_str(), &why));
  EXPECT_FALSE(why.empty());

  // Over-long stored lines are cut on a character boundary.
  const std::string wide = "0,0,0,0,0,0,0,0,0,0,0,0,10,F," + std::string(993, 'x') + "\xE2\x82\xAC";
  ASSERT_EQ(wide.size(), 1025u);
  ASSERT_TRUE(other.LoadFromLines({wide}));
  EXPECT_EQ(other.At(0)->RecordText(), wide.substr(0, 1022));
}

TEST(KRTWatermarkList, FiveDefaultsFromTheLocalizedStrings) {
  std::map<std::string, std::string> strings;
  for (int i = 0; i < 5; ++i) strings["Watermark" + std::to_string(i)] = Record(10 + i);
  strings["Watermark3"] = "0,0,0,0,0,0,0,0,0,0,0,0,10,Bad Font,x";  // refused
  auto localized = [&](const std::string& key) { return strings.at(key); };

  KRTWatermarkList list;
  EXPECT_EQ(list.AddDefaults(localized), 4);
  EXPECT_EQ(list.At(3)->Text(), "Mark 14");
  EXPECT_EQ(list.AddDefaults(localized), 4);  // only into an empty list
}

}  // namespace
