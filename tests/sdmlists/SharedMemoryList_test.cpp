// The shared list: bounded fields cut at character boundaries, the byte-order mark round trip,
// garbage counts from the module, the watermark fields and the preset tracking.
#include <gtest/gtest.h>

#include <string>

#include "SDMTestSupport.h"
#include "platform/Log.h"
#include "server/SDMAllocator.h"
#include "server/SharedMemoryList.h"

namespace quill::testing {
namespace {

std::vector<std::pair<std::string, std::string>> Pairs(const SDMKeyValueList* list) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& [k, v] : SDMReadKeyValueList(list)) out.emplace_back(UTF8FromWide(k), UTF8FromWide(v));
  return out;
}

TEST(SharedMemoryListTest, FieldsAreCutOnCharacterBoundariesWithALogLine) {
  std::vector<std::string> log;
  const LogSink previous = SetLogSink([&log](std::string_view m) { log.emplace_back(m); });
  struct Case {
    std::string text;
    std::size_t size;
    std::string want;
  };
  const std::string euro = "\xE2\x82\xAC";
  const Case cases[] = {
      {"abc", 4, "abc"},
      {"abcd", 4, "abc"},
      {"ab" + euro, 6, "ab" + euro},
      {"ab" + euro, 4, "ab"},         // the euro sign does not fit whole
      {"a" + euro + "b", 5, "a" + euro},
      {"", 1, ""},
  };
  for (const Case& c : cases) {
    char field[8];
    std::memset(field, 'X', sizeof field);
    const bool whole = CopyToField(field, c.size, c.text, "test field");
    EXPECT_EQ(std::string(FieldText(field, c.size)), c.want) << c.text;
    EXPECT_EQ(whole, c.want == c.text);
  }
  EXPECT_EQ(log.size(), 3u);
  SetLogSink(previous);

  auto list = NewSharedMemoryList();
  const std::string longKey(62, 'k');
  SetSharedSettings(*list, {{longKey + euro, std::string(698, 'v') + euro}});
  EXPECT_EQ(std::string(FieldText(list->keys[0], 64)), longKey);
  EXPECT_EQ(FieldText(list->values[0], 700).size(), 698u);
}

TEST(SharedMemoryListTest, ByteOrderMarkSurvivesBothConversions) {
  auto list = NewSharedMemoryList();
  const std::string bom = "\xEF\xBB\xBF";
  SetSharedSettings(*list, {{"*Note", bom + "text"}, {"*Plain", "EFB"}});
  EXPECT_EQ(std::string(FieldText(list->values[0], 700)), "EFBBBFtext");
  SDMKeyValueList* sdm = Create_SDMList_From_SharedMemoryList(*list, SDMAllocator::Host());
  ASSERT_NE(sdm, nullptr);
  EXPECT_EQ(Pairs(sdm)[0].second, bom + "text");
  auto back = NewSharedMemoryList();
  EXPECT_EQ(Create_SharedMemoryList_From_SDMList(sdm, *back), 2);
  EXPECT_EQ(SharedSettings(*back), SharedSettings(*list));
  SDMFreeKeyValueList(SDMAllocator::Host(), sdm);
}

TEST(SharedMemoryListTest, GarbageFromTheModuleIsReadWithinLimits) {
  auto list = NewSharedMemoryList();
  SetSharedSettings(*list, {{"*Keep", "1"}});
  // Null list, count without entries, null keys and values, an absurd count.
  EXPECT_EQ(Create_SharedMemoryList_From_SDMList(nullptr, *list), 0);
  SDMKeyValueList noEntries{5, nullptr};
  EXPECT_EQ(Create_SharedMemoryList_From_SDMList(&noEntries, *list), 0);
  wchar_t key[] = L"*Duplex";
  SDMKeyValue entries[3] = {{nullptr, nullptr}, {key, nullptr}, {key, nullptr}};
  SDMKeyValueList odd{3, entries};
  EXPECT_EQ(Create_SharedMemoryList_From_SDMList(&odd, *list), 2);
  EXPECT_EQ(SharedSettings(*list)[0], (std::pair<std::string, std::string>{"*Duplex", ""}));

  std::vector<SDMKeyValue> many(3001, SDMKeyValue{key, key});
  SDMKeyValueList huge{~0ULL, many.data()};
  EXPECT_EQ(Create_SharedMemoryList_From_SDMList(&huge, *list), 3000);
  EXPECT_EQ(std::string(QUILL_SML_GET(*list, count)), "3000");
  // A count field that holds garbage reads as a number within the slots.
  QUILL_SML_SET(*list, count, "9999");
  QUILL_SML_SET(*list, extraCount, "x");
  EXPECT_EQ(SharedSettings(*list).size(), 3000u);
}

TEST(SharedMemoryListTest, WatermarksAreCappedAtTwenty) {
  auto list = NewSharedMemoryList();
  for (int i = 0; i < 3; ++i) QUILL_SML_SET(*list, watermarkIds[i], std::to_string(i));
  WidePairs marks;
  for (int i = 0; i < 25; ++i) marks.emplace_back(std::to_wstring(i), L"0,0,0,0,0,0,0,0,0,0,0,0,36,Helvetica,Mark " + std::to_wstring(i));
  SDMKeyValueList* sdm = SDMCreateKeyValueList(SDMAllocator::Host(), marks);
  EXPECT_EQ(Create_SharedMemoryWatermarkList_From_SDMList(sdm, *list), 20);
  SDMFreeKeyValueList(SDMAllocator::Host(), sdm);
  EXPECT_EQ(std::string(QUILL_SML_GET(*list, watermarkCount)), "20");
  const std::vector<std::string> texts = GetWatermarkList_From_CombinedList(*list);
  ASSERT_EQ(texts.size(), 20u);
  EXPECT_EQ(texts[19].substr(texts[19].size() - 7), "Mark 19");
  SDMKeyValueList* back = Create_SDMWatermarkList_From_SharedMemoryList(*list, SDMAllocator::Host());
  ASSERT_EQ(back->count, 20u);
  EXPECT_EQ(Pairs(back)[2].first, "2");  // identifiers stayed
  SDMFreeKeyValueList(SDMAllocator::Host(), back);
}

TEST(SharedMemoryListTest, ChangedSettingsDropTheReturnedPresetName) {
  auto list = NewSharedMemoryList();
  SDMKeyValueList* fromModule =
      SDMCreateKeyValueList(SDMAllocator::Host(), {{L"PresetName", L"Fast"}, {L"*Duplex", L"None"}});
  Create_SharedMemoryList_From_SDMList(fromModule, *list);
  SDMFreeKeyValueList(SDMAllocator::Host(), fromModule);
  EXPECT_TRUE(PresetTracking().presetReturned);
  // Unchanged: the name stays.
  SDMKeyValueList* same = Create_SDMList_From_SharedMemoryList(*list, SDMAllocator::Host());
  EXPECT_EQ(Pairs(same)[0].second, "Fast");
  SDMFreeKeyValueList(SDMAllocator::Host(), same);
  EXPECT_FALSE(PresetTracking().presetReturned);  // reset after each hand-over

  fromModule = SDMCreateKeyValueList(SDMAllocator::Host(), {{L"PresetName", L"Fast"}, {L"*Duplex", L"None"}});
  Create_SharedMemoryList_From_SDMList(fromModule, *list);
  SDMFreeKeyValueList(SDMAllocator::Host(), fromModule);
  QUILL_SML_SET(*list, values[1], "DuplexNoTumble");
  SDMKeyValueList* changed = Create_SDMList_From_SharedMemoryList(*list, SDMAllocator::Host());
  EXPECT_EQ(Pairs(changed)[0], (std::pair<std::string, std::string>{"PresetName", ""}));
  SDMFreeKeyValueList(SDMAllocator::Host(), changed);
}

TEST(SDMKeyValueListTest, LinesSplitAtTheFirstEqualsSign) {
  SDMKeyValueList* list = nullptr;
  EXPECT_EQ(SDMAllocKeyValueListFromKeyValueSetWChar({L"a=1", L"b=x=y", L"c", L"d="}, SDMAllocator::Host(), 4, nullptr), 7100);
  ASSERT_EQ(SDMAllocKeyValueListFromKeyValueSetWChar({L"a=1", L"b=x=y", L"c", L"d="}, SDMAllocator::Host(), 9, &list), 0);
  EXPECT_EQ(Pairs(list), (std::vector<std::pair<std::string, std::string>>{{"a", "1"}, {"b", "x=y"}, {"c", ""}, {"d", ""}}));
  SDMFreeKeyValueList(SDMAllocator::Host(), list);
  ASSERT_EQ(SDMAllocKeyValueListFromKeyValueSetWChar({}, SDMAllocator::Host(), 0, &list), 0);
  EXPECT_EQ(list->count, 0u);
  SDMFreeKeyValueList(SDMAllocator::Host(), list);
}

}  // namespace
}  // namespace quill::testing
