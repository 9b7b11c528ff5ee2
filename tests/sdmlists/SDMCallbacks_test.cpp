// The callbacks that answer the job-properties module from the two-way data sections: formats,
// the exact section and line lookups, fixed answers, and memory that goes back to the allocator
// that made it.
#include <gtest/gtest.h>

#include "SDMTestSupport.h"
#include "server/BidiSections.h"
#include "server/SDMCallbacks.h"
#include "server/SharedMemoryList.h"

namespace quill::testing {
namespace {

class SDMCallbacksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeModuleMemory::Reset();
    SDMCallbackContext& c = CallbackContext();
    c = SDMCallbackContext{};
    c.twoWay = true;
    c.moduleAlloc = &FakeModuleMemory::Alloc;
    c.moduleFree = &FakeModuleMemory::Free;
    c.sections = &sections_;
  }
  void TearDown() override {
    EXPECT_EQ(FakeModuleMemory::ForeignReleases(), 0);
    FakeModuleMemory::Reset();
    CallbackContext() = SDMCallbackContext{};
  }
  void Load(const std::vector<std::pair<std::string, std::string>>& sections) {
    sections_.Load(TwoWayText(sections));
  }
  // Releases what a callback answered the way the module does: through the table's free slot.
  static void Release(void* block) {
    if (block != nullptr) {
      EXPECT_EQ(sdmFuncPtrFree(&block), 0);
    }
  }
  static void ReleaseList(SDMKeyValueList* list) {
    if (list == nullptr) return;
    for (uint64_t i = 0; i < list->count; ++i) {
      Release(list->entries[i].key);
      Release(list->entries[i].value);
    }
    Release(list->entries);
    Release(list);
  }
  static std::vector<std::pair<std::string, std::string>> Pairs(const SDMKeyValueList* list) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [k, v] : SDMReadKeyValueList(list)) out.emplace_back(UTF8FromWide(k), UTF8FromWide(v));
    return out;
  }
  BidiSections sections_;
};

TEST(SectionLookups, ServerInfoAndFeaturesMatchTheWholeName) {
  struct Case {
    const wchar_t* text;
    const wchar_t* name;
    const wchar_t* want;  // null: not found
  };
  const Case info[] = {
      {L"Server 7:ServerName\n", L"ServerName", L"Server 7"},
      {L"ServerName:Server 7\n", L"ServerName", nullptr},
      // A line that merely contains the name before the real one no longer hides it.
      {L"x:ServerNameOld\nServer 8:ServerName\n", L"ServerName", L"Server 8"},
      {L"no colon here ServerName\n", L"ServerName", nullptr},
      {L"", L"ServerName", nullptr},
  };
  for (const Case& c : info) {
    const auto got = ServerInfoItem(c.text, c.name);
    if (c.want == nullptr) {
      EXPECT_FALSE(got) << Narrow(c.text);
    } else {
      ASSERT_TRUE(got) << Narrow(c.text);
      EXPECT_EQ(*got, c.want);
    }
  }
  const Case features[] = {
      {L"Duplex=yes\n", L"Duplex", L"yes"},
      {L"DuplexMode=no\nDuplex=yes\n", L"Duplex", L"yes"},
      {L"DuplexMode=no\n", L"Duplex", nullptr},
      {L"Duplex yes\n", L"Duplex", nullptr},
      {L"Staple=\n", L"Staple", L""},
  };
  for (const Case& c : features) {
    const auto got = ServerFeature(c.text, c.name);
    if (c.want == nullptr) {
      EXPECT_FALSE(got) << Narrow(c.text);
    } else {
      ASSERT_TRUE(got) << Narrow(c.text);
      EXPECT_EQ(*got, c.want);
    }
  }
}

TEST(SectionLookups, SectionsAreFoundByExactNameAndBadOnesEndCleanly) {
  BidiSections s;
  s.Load(TwoWayText({{"ServerValFrmDictspdmapen", "spd"}, {"ServerValFrmDict", "A\n1\n"}, {"Empty", ""}}));
  ASSERT_NE(s.Section("ServerValFrmDict"), nullptr);
  EXPECT_EQ(*s.Section("ServerValFrmDict"), L"A\n1\n");
  EXPECT_EQ(*s.Section("ServerValFrmDictspdmapen"), L"spd");
  ASSERT_NE(s.Section("Empty"), nullptr);
  EXPECT_TRUE(s.Section("Empty")->empty());
  EXPECT_EQ(s.Section("ServerVal"), nullptr);
  EXPECT_EQ(s.Section("Missing"), nullptr);

  // A corrupt record ends the payload; garbage lines and a missing terminator are survived.
  std::string noise;
  unsigned seed = 7;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245 + 12345;
    noise += static_cast<char>('a' + (seed >> 16) % 26);
  }
  std::string text = TwoWayText({{"TonerInfo", noise}});
  const std::size_t second = text.find("TonerInfo0001: ");
  ASSERT_NE(second, std::string::npos);
  text.replace(second + 15, 8, "!!!!!!!!");
  s.Load("garbage line\n: \nTonerInfo: x\n" + text);
  const std::wstring* toner = s.Section("TonerInfo");
  ASSERT_NE(toner, nullptr);
  EXPECT_LT(toner->size(), 2000u);
}

TEST_F(SDMCallbacksTest, TonersAndTraysFollowTheirFormats) {
  Load({{"TonerInfo", "2\nCyan@80@7@#00FFFF@10@90@1\nBlack@3@7@NULL@x@@2\nExtra@1@1@NULL@1@1@1\n"},
        {"TrayInfo", "3:Tray 1@A4@EMPTY@white@@80@auto@ready@250@500:Tray 2@Letter:"}});
  SDMTonerInfoArray* toners = nullptr;
  ASSERT_EQ(sdmFuncPtrGetTonerInfo(nullptr, 0, &toners), 0);
  ASSERT_EQ(toners->count, 2);  // the count line, not the lines present, decides
  EXPECT_EQ(Narrow(toners->entries[0].name), "Cyan");
  EXPECT_EQ(toners->entries[0].level, 80);
  EXPECT_EQ(toners->entries[0].scale, 100);
  EXPECT_EQ(Narrow(toners->entries[0].color), "#00FFFF");
  EXPECT_EQ(toners->entries[0].high, 90);
  EXPECT_EQ(toners->entries[1].color, nullptr);  // "NULL"
  EXPECT_EQ(toners->entries[1].low, 0);         // not a number
  for (int i = 0; i < toners->count; ++i) {
    Release(toners->entries[i].name);
    Release(toners->entries[i].color);
  }
  Release(toners->entries);
  Release(toners);

  SDMTrayInfoArray* trays = nullptr;
  ASSERT_EQ(sdmFuncPtrGetTrayInfo(nullptr, 0, &trays), 0);
  ASSERT_EQ(trays->count, 2);  // three announced, two present
  EXPECT_EQ(Narrow(trays->entries[0].texts[1]), "A4");
  EXPECT_EQ(Narrow(trays->entries[0].texts[2]), "");  // "EMPTY"
  EXPECT_EQ(trays->entries[0].number1, 250);
  EXPECT_EQ(trays->entries[0].number2, 500);
  EXPECT_EQ(Narrow(trays->entries[1].texts[1]), "Letter");
  EXPECT_EQ(Narrow(trays->entries[1].texts[5]), "N/A");  // missing field
  EXPECT_EQ(trays->entries[1].number1, 0);
  for (int i = 0; i < trays->count; ++i) {
    for (wchar_t* t : trays->entries[i].texts) Release(t);
  }
  Release(trays->entries);
  Release(trays);
  EXPECT_TRUE(FakeModuleMemory::Live().empty());
}

TEST_F(SDMCallbacksTest, EmptyOrMissingSectionsAnswerNoDataAndSetThePollingFlags) {
  Load({{"TonerInfo", ""}, {"TrayInfo", ""}, {"PresetsList", "0\nA\n"}, {"CDIHelpStrings", "x\nA\n"}});
  SDMTonerInfoArray* toners = reinterpret_cast<SDMTonerInfoArray*>(1);
  SDMTrayInfoArray* trays = reinterpret_cast<SDMTrayInfoArray*>(1);
  EXPECT_EQ(sdmFuncPtrGetTonerInfo(nullptr, 0, &toners), 4096);
  EXPECT_EQ(sdmFuncPtrGetTrayInfo(nullptr, 0, &trays), 4096);
  EXPECT_EQ(toners, nullptr);
  EXPECT_EQ(trays, nullptr);
  EXPECT_TRUE(CallbackContext().tonerSectionEmpty);
  EXPECT_TRUE(CallbackContext().traySectionEmpty);
  wchar_t** names = nullptr;
  int count = 5;
  EXPECT_EQ(sdmFuncPtrGetServerPresetNamesList(nullptr, &names, &count, 0), 4096);  // count 0
  EXPECT_EQ(count, 0);
  wchar_t** help = nullptr;
  long helpCount = 0;
  EXPECT_EQ(sdmFuncPtrGetLoclHelpStrings(nullptr, 0, nullptr, nullptr, &help, &helpCount), 4096);
  wchar_t* text = nullptr;
  EXPECT_EQ(sdmFuncPtrGetServerData(nullptr, &text), 4096);  // no BidiData
  EXPECT_EQ(sdmFuncPtrGetServerInfo(nullptr, 0, &text), 0);
  // Missing output arguments.
  EXPECT_EQ(sdmFuncPtrGetServerData(nullptr, nullptr), 7100);
  EXPECT_EQ(sdmFuncPtrGetTonerInfo(nullptr, 0, nullptr), 7100);
  EXPECT_EQ(sdmFuncPtrGetAllDeviceLinkProfiles(nullptr, 0, nullptr), 7100);
  EXPECT_EQ(sdmFuncPtrFree(nullptr), 7100);
  void* none = nullptr;
  EXPECT_EQ(sdmFuncPtrFree(&none), 7100);
  EXPECT_EQ(sdmFuncPtrFreeNonBidi(&none), 4096);
}

TEST_F(SDMCallbacksTest, KeyValueSectionsBecomeLists) {
  Load({{"PpdDefaults", "2\n*Duplex\nNone\n*Note\nEMPTYSTRING\n"},
        {"ColorDefaultList", "1\n*KRColorMode\nCMYK\n"},
        {"QueuePropList", "1\nHold\nyes\n"},
        {"ListLockedKeys", "1\n*Duplex\nTrue\n"},
        {"DeviceLinkProfilesList", "2\nA=1\nB=x=y\nC=ignored\n"},
        {"ServerInfo", "Server 7:ServerName\n7.2:ServerVersion\n"},
        {"ServerFeatureSupport", "DuplexMode=no\nDuplex=yes\n"}});
  // Defaults go into the module's own list; an unknown key keeps its value.
  SDMKeyValueList* mine = SDMCreateKeyValueList(
      SDMAllocator::Module(&FakeModuleMemory::Alloc, &FakeModuleMemory::Free, nullptr),
      {{L"*Duplex", L"?"}, {L"*Note", L"?"}, {L"*Other", L"keep"}});
  ASSERT_EQ(sdmGetPPDDefaults(nullptr, 0, mine), 0);
  EXPECT_EQ(Pairs(mine), (std::vector<std::pair<std::string, std::string>>{
                             {"*Duplex", "None"}, {"*Note", ""}, {"*Other", "keep"}}));
  ReleaseList(mine);

  struct ListCase {
    const char* what;
    std::function<int(SDMKeyValueList**)> call;
    std::vector<std::pair<std::string, std::string>> want;
  };
  SDMKeyValueList* locked = nullptr;
  const ListCase cases[] = {
      {"color", [](SDMKeyValueList** o) { return sdmFuncPtrGetColorKeysFactoryDefaultValues(nullptr, 0, o); },
       {{"*KRColorMode", "CMYK"}}},
      {"hold", [&locked](SDMKeyValueList** o) { return sdmFuncPtrGetHoldQueueAttributes(nullptr, o, &locked); },
       {{"Hold", "yes"}}},
      {"profiles", [](SDMKeyValueList** o) { return sdmFuncPtrGetAllDeviceLinkProfiles(nullptr, 0, o); },
       {{"A", "1"}, {"B", "x=y"}}},
      {"info", [](SDMKeyValueList** o) { return sdmFuncPtrGetServerInfoAll(nullptr, o); },
       {{"ServerName", "Server 7"}, {"ServerVersion", "7.2"}}},
      {"features", [](SDMKeyValueList** o) { return sdmFuncPtrGetServerFeaturesAll(nullptr, o); },
       {{"DuplexMode", "no"}, {"Duplex", "yes"}}},
  };
  for (const ListCase& c : cases) {
    SDMKeyValueList* list = nullptr;
    ASSERT_EQ(c.call(&list), 0) << c.what;
    EXPECT_EQ(Pairs(list), c.want) << c.what;
    ReleaseList(list);
  }
  EXPECT_EQ(Pairs(locked), (std::vector<std::pair<std::string, std::string>>{{"*Duplex", "True"}}));
  ReleaseList(locked);

  EXPECT_EQ(sdmFuncPtrIsServerFeatureSupported(nullptr, L"Duplex"), 1);
  EXPECT_EQ(sdmFuncPtrIsServerFeatureSupported(nullptr, L"DuplexMode"), 0);
  wchar_t* value = nullptr;
  EXPECT_EQ(sdmFuncPtrGetServerFeatureValue(nullptr, L"DuplexMode", &value), 1);
  EXPECT_EQ(Narrow(value), "no");
  Release(value);
  EXPECT_EQ(sdmFuncPtrGetServerInfo(nullptr, 1, &value), 1);
  EXPECT_EQ(Narrow(value), "7.2");
  Release(value);
  EXPECT_EQ(sdmFuncPtrGetServerInfo(nullptr, 2, &value), 0);  // no item 2
  EXPECT_TRUE(FakeModuleMemory::Live().empty());
}

TEST_F(SDMCallbacksTest, PresetsDictionaryAndHelpStrings) {
  Load({{"PresetsList", "2\nFast\nFine\n"},
        {"PresetsData",
         "Fast\nJPKeyValues=2\n*Duplex=None\n*Copies=2\nImposeKeyValues=0\nPresetKeyValues=1\nPresetName=Fast\n"
         "Fine\nJPKeyValues=3\n*Duplex=None\n"},
        {"ServerValFrmDict", "Mode\nABCDEFGHIJKLMNOP\nMode2\nx\n"},
        {"ServerValFrmDictspdmapen", "whole text"},
        {"CDIHelpStrings", "2\nHelp one\nHelp two\n"}});
  wchar_t** names = nullptr;
  int count = 0;
  ASSERT_EQ(sdmFuncPtrGetServerPresetNamesList(nullptr, &names, &count, 0), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(Narrow(names[1]), "Fine");
  for (int i = 0; i < count; ++i) Release(names[i]);
  Release(names);

  SDMKeyValueList *job = nullptr, *impose = nullptr, *preset = nullptr;
  ASSERT_EQ(sdmFuncPtrGetServerPresetDataByName(nullptr, L"Fast", &job, &impose, &preset), 0);
  EXPECT_EQ(Pairs(job), (std::vector<std::pair<std::string, std::string>>{{"*Duplex", "None"}, {"*Copies", "2"}}));
  EXPECT_EQ(impose, nullptr);
  EXPECT_EQ(Pairs(preset), (std::vector<std::pair<std::string, std::string>>{{"PresetName", "Fast"}}));
  ReleaseList(job);
  ReleaseList(preset);
  // A block whose header announces more lines than follow is left out.
  EXPECT_EQ(sdmFuncPtrGetServerPresetDataByName(nullptr, L"Fine", &job, &impose, &preset), 4096);
  EXPECT_EQ(sdmFuncPtrGetServerPresetDataByName(nullptr, L"None", &job, &impose, &preset), 4096);

  wchar_t* value = nullptr;
  ASSERT_EQ(sdmFuncPtrGetServerValueFromDict(nullptr, 0, &value, L"Mode"), 0);
  EXPECT_EQ(Narrow(value), "ABCDEFGHIJ");  // cut to 10
  Release(value);
  ASSERT_EQ(sdmFuncPtrGetServerValueFromDict(nullptr, 0, &value, L"SPD_MAPPING_ENABLE"), 0);
  EXPECT_EQ(Narrow(value), "whole text");
  Release(value);
  // A value line is not a name: "x" follows "Mode2" only.
  EXPECT_EQ(sdmFuncPtrGetServerValueFromDict(nullptr, 0, &value, L"ABCDEFGHIJKLMNOP"), 4096);
  EXPECT_EQ(sdmFuncPtrGetServerValueFromDict(nullptr, 0, &value, nullptr), 4096);

  wchar_t** help = nullptr;
  long helpCount = 0;
  ASSERT_EQ(sdmFuncPtrGetLoclHelpStrings(nullptr, 0, nullptr, nullptr, &help, &helpCount), 0);
  ASSERT_EQ(helpCount, 2);
  EXPECT_EQ(Narrow(help[0]), "Help one");
  for (long i = 0; i < helpCount; ++i) Release(help[i]);
  Release(help);
  EXPECT_TRUE(FakeModuleMemory::Live().empty());
}

TEST_F(SDMCallbacksTest, AllocationFailuresLeaveNothingBehind) {
  Load({{"TonerInfo", "2\nA@1@1@#1@1@1@1\nB@1@1@#2@1@1@1\n"},
        {"ServerInfo", "a:ServerName\nb:ServerVersion\n"},
        {"PresetsList", "3\nA\nB\nC\n"}});
  for (int fail = 0; fail < 8; ++fail) {
    FakeModuleMemory::FailAfter() = fail;
    SDMTonerInfoArray* toners = nullptr;
    const int rc = sdmFuncPtrGetTonerInfo(nullptr, 0, &toners);
    if (rc == 0) {
      for (int i = 0; i < toners->count; ++i) {
        Release(toners->entries[i].name);
        Release(toners->entries[i].color);
      }
      Release(toners->entries);
      Release(toners);
    } else {
      EXPECT_EQ(toners, nullptr);
    }
    FakeModuleMemory::FailAfter() = fail;
    SDMKeyValueList* list = nullptr;
    if (sdmFuncPtrGetServerInfoAll(nullptr, &list) == 0) {
      ReleaseList(list);
    } else {
      EXPECT_EQ(list, nullptr);
    }
    FakeModuleMemory::FailAfter() = fail;
    wchar_t** names = nullptr;
    int count = 0;
    if (sdmFuncPtrGetServerPresetNamesList(nullptr, &names, &count, 0) == 0) {
      for (int i = 0; i < count; ++i) Release(names[i]);
      Release(names);
    }
    FakeModuleMemory::FailAfter() = -1;
    EXPECT_TRUE(FakeModuleMemory::Live().empty()) << "failing after " << fail;
  }
}

TEST_F(SDMCallbacksTest, WithoutTwoWayDataTheHostAllocatorAnswers) {
  CallbackContext().twoWay = false;
  auto shared = NewSharedMemoryList();
  ASSERT_TRUE(shared);
  CallbackContext().shared = shared.get();
  CallbackContext().languageCode = "de";
  ASSERT_EQ(SetSharedSettings(*shared, {{"*Option1", "A&B \"x\" <y>"}, {"*Duplex", "None"}}), 0);
  QUILL_SML_SET(*shared, installable, "0,7,x,");
  QUILL_SML_SET(*shared, ppdPath, "/tmp/a&b.ppd");
  QUILL_SML_SET(*shared, driverVersion, "2.1");
  wchar_t* doc = nullptr;
  ASSERT_EQ(sdmFuncPtrGetServerDataNonBidi(nullptr, &doc), 0);
  const std::string text = Narrow(doc);
  EXPECT_NE(text.find("locale=\"de\""), std::string::npos);
  EXPECT_NE(text.find("ppdLocation0=\"/tmp/a&amp;b.ppd\""), std::string::npos);
  EXPECT_NE(text.find("<InstalledOptions key=\"*Option1\" value=\"A&amp;B &quot;x&quot; &lt;y&gt;\"/>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<InstalledOptions key=\"\" value=\"\"/>"), std::string::npos);  // slot 7
  EXPECT_EQ(sdmFuncPtrFreeNonBidi(reinterpret_cast<void**>(&doc)), 0);
  EXPECT_EQ(doc, nullptr);

  wchar_t* version = nullptr;
  EXPECT_EQ(sdmFuncPtrGetDriverVersion(nullptr, 1, &version), 0);
  EXPECT_EQ(Narrow(version), "2.1");
  EXPECT_EQ(sdmFuncPtrFreeNonBidi(reinterpret_cast<void**>(&version)), 0);
  // Two-way-only answers return at once.
  EXPECT_EQ(sdmFuncPtrGetHoldQueueAttributes(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(sdmFuncPtrGetColorKeysFactoryDefaultValues(nullptr, 0, nullptr), 0);
  EXPECT_TRUE(FakeModuleMemory::Live().empty());
}

TEST(SDMCallbackTable, SlotsPerMode) {
  SDMCallbackTable table;
  FillSDMCallbackTable(table, true);
  EXPECT_EQ(table.version, 19);
  EXPECT_EQ(table.twoWay, 1u);
  EXPECT_EQ(table.getServerData, &sdmFuncPtrGetServerData);
  EXPECT_EQ(table.free, &sdmFuncPtrFree);
  EXPECT_EQ(table.getFontList, nullptr);
  EXPECT_EQ(table.getTonerInfo, &sdmFuncPtrGetTonerInfo);
  FillSDMCallbackTable(table, false);
  EXPECT_EQ(table.twoWay, 0u);
  EXPECT_EQ(table.getServerData, &sdmFuncPtrGetServerDataNonBidi);
  EXPECT_EQ(table.free, &sdmFuncPtrFreeNonBidi);
  EXPECT_EQ(table.getPPDDefaults, nullptr);
  EXPECT_EQ(table.getTonerInfo, nullptr);
  EXPECT_EQ(table.getTrayInfo, nullptr);
  EXPECT_EQ(table.getServerValueFromDict, nullptr);
  EXPECT_EQ(table.getDriverVersion, &sdmFuncPtrGetDriverVersion);
  EXPECT_EQ(table.getDeviceLinkProfile(nullptr), 4096);
  EXPECT_EQ(table.getFontList(nullptr), 0);
}

TEST(ServerLanguage, PreferredLanguagesMapToTheModulesCodes) {
  const std::pair<const char*, const char*> cases[] = {
      {"zh-Hant-TW", "zh_TW"}, {"zh-Hans", "zh_CN"}, {"zh_TW.UTF-8", "zh_TW"}, {"zh_CN.UTF-8", "zh_CN"},
      {"pt-PT", "pt"},         {"pt-BR", "pt"},      {"gsw", "en"},          {"nb_NO.UTF-8", "no"},
      {"KO", "ko_KR"},         {"cs_CZ", "cs_CZ"},   {"wa", "fr"},           {"ca-ES", "es"},
      {"", "en"},              {"de_DE.UTF-8@euro", "de"}};
  for (const auto& [preferred, code] : cases) EXPECT_EQ(ServerLanguageCode(preferred), code) << preferred;
}

}  // namespace
}  // namespace quill::testing
