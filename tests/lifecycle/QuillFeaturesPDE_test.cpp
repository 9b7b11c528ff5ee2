// The panel controller on the sample queue: which PPDs get a panel, what start-up restores,
// the paper and model-name rules, the plug-in entry, the process-wide instances at tear-down,
// and the small helpers.
#include <gmock/gmock.h>
#include <plist/plist.h>

#include "lifecycle/LifecycleFixture.h"
#include "panel/PDEData.h"
#include "panel/QuillFeaturesPDEPlugIn.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

class StartUpTest : public LifecycleTest {};

TEST_F(StartUpTest, QueueNameComesFromTheQueueNotFromThePPDFileOrALinkToIt) {
  // The spooler's copy has no ".ppd" in its name; a link named like another queue points at it.
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"), "Sample", "cups-copy");
  const fs::path link = home_.path() / "Other.ppd";
  fs::create_symlink(dialog->PPDPath(), link);
  PrintDialogCallback linked("Sample", link.string(), false);
  for (PrintDialogCallback* callback : {dialog.get(), &linked}) {
    std::string why;
    auto panel = QuillFeaturesPDE::initWithCallback(callback, {}, &why);
    ASSERT_NE(panel, nullptr) << why;
    EXPECT_EQ(panel->QueueName(), "Sample");
    EXPECT_EQ(QuillFeaturesPDE::cachesPDEOpenFilePath(),
              (home_.path() / "root/Library/Caches/KRT/Sample.pdeopen").string());
    EXPECT_EQ(panel->GetPDEDataPtr()->QueueName(), "Sample");
    // The PPD's PC file name goes into the print settings.
    EXPECT_EQ(callback->Settings().GetString("PCFILENAME"), "QUILLS01.PPD");
  }
}

TEST_F(StartUpTest, NoPanelForAPPDThatIsNotThePanelsOrANameThatLeavesItsFolder) {
  const std::string sample = ExamplePath("QuillSample.ppd");
  const std::string noVersion = EditedPPD(sample, "*FileVersion: \"2.4\"\n", "", "NoVersion.ppd");
  const std::string plistHead =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>PCFILENAME</key>";
  TempDir otherBundle;
  otherBundle.Write("PrinterList.plist", plistHead + "<string>OTHER.PPD</string></dict></plist>");
  TempDir ownBundle;
  ownBundle.Write("PrinterList.plist",
                  plistHead +
                      "<array><string>X.PPD</string><string>QUILLS01.PPD</string></array>"
                      "</dict></plist>");
  Bundle other(otherBundle.path().string());
  Bundle own(ownBundle.path().string());
  struct Case {
    const char* what;
    std::string ppd;
    std::string queue;
    Bundle* bundle;
    bool panel;
  };
  const Case cases[] = {
      {"sample", sample, "Sample", nullptr, true},
      {"sample, printer list naming it", sample, "Sample", &own, true},
      {"printer list not naming it", sample, "Sample", &other, false},
      {"no *FileVersion", noVersion, "Sample", nullptr, false},
      {"queue name with a slash", sample, "../Sample", nullptr, false},
      {"queue name ..", sample, "..", nullptr, false},
      {"empty queue name", sample, "", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QuillFeaturesPDE::ResetProcessState();
    auto dialog = Dialog(c.ppd, c.queue);
    QuillFeaturesPDEOptions options;
    options.bundle = c.bundle;
    std::string why;
    auto panel = QuillFeaturesPDE::initWithCallback(dialog.get(), options, &why);
    EXPECT_EQ(panel != nullptr, c.panel) << why;
    if (!c.panel) {
      EXPECT_FALSE(why.empty());
      EXPECT_EQ(QuillFeaturesPDE::CurrentInstance(), nullptr);
    }
  }
}

TEST_F(StartUpTest, SavedValuesAreRestoredOnlyForTheSamePCFileName) {
  struct Case {
    const char* pcFileName;  // nullptr: none stored
    const char* duplex;      // expected after start-up
  };
  const Case cases[] = {
      {"quills01.ppd", "DuplexTumble"},  // case does not matter
      {"OTHER.PPD", "None"},
      {nullptr, "None"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pcFileName ? c.pcFileName : "none");
    QuillFeaturesPDE::ResetProcessState();
    auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
    if (c.pcFileName) dialog->Settings().SetString("PCFILENAME", c.pcFileName);
    dialog->Settings().SetString("*Duplex", "DuplexTumble");
    auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(Value(*panel, "*Duplex"), c.duplex);
    // From now on the print settings belong to this PPD.
    EXPECT_TRUE(panel->shouldRestore());
    // Sync put every option value into the print settings.
    EXPECT_EQ(dialog->Settings().GetString("*Duplex"), c.duplex);
  }
}

TEST_F(StartUpTest, APPDWithoutQuickAccessEntriesKeepsTheRestoredValues) {
  auto dialog = Dialog(FixturePath("Accounting.ppd"));
  dialog->Settings().SetString("PCFILENAME", "QUILLA01.PPD");
  dialog->Settings().SetString("*Duplex", "DuplexNoTumble");
  dialog->Settings().SetString("*KRColorMode", "Gray");
  auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(GetPPDTree().shortcuts.empty());
  EXPECT_EQ(Value(*panel, "*Duplex"), "DuplexNoTumble");
  EXPECT_EQ(Value(*panel, "*KRColorMode"), "Gray");
  // And a later restore keeps them too.
  ASSERT_TRUE(panel->restoreValuesAndReturnError());
  EXPECT_EQ(Value(*panel, "*Duplex"), "DuplexNoTumble");
}

TEST_F(StartUpTest, CustomPaperNamesByVersion) {
  struct Case {
    SystemVersion version;
    std::optional<bool> customFlag;  // nullopt: the entry is missing
    const char* paper;
    bool custom;
    const char* shown;
  };
  const Case cases[] = {
      {{10, 15}, true, "tabloid", true, "Tabloid"},
      {{10, 15}, true, "SRA3", true, "SRA3"},
      {{10, 15}, true, "Letter", true, "Custom"},
      {{10, 15}, false, "Letter", false, ""},
      {{10, 8}, true, "tabloid", true, "tabloid"},
      // Without the custom entry, a paper of the printer's list counts as custom.
      {{10, 15}, std::nullopt, "a4", true, "Custom"},
      {{10, 15}, std::nullopt, "Postcard", false, ""},
  };
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
  dialog->SetPaperNames({"A4", "Letter"});
  auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
  ASSERT_NE(panel, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.paper);
    SystemInfo::SetVersion(c.version);
    plist_t ticket = plist_new_dict();
    plist_dict_set_item(ticket, QuillFeaturesPDE::kPaperNameKey, plist_new_string(c.paper));
    if (c.customFlag) {
      plist_dict_set_item(ticket, QuillFeaturesPDE::kCustomPaperKey, plist_new_bool(*c.customFlag));
    }
    dialog->Settings().SetValue(QuillFeaturesPDE::kPaperInfoTicketKey, ticket);
    panel->updatePageSizeAndInputSlot();
    EXPECT_EQ(panel->isCustomPageSize(), c.custom);
    if (c.custom) {
      EXPECT_EQ(panel->customPapername(), c.shown);
    }
  }
  dialog->Settings().Remove(QuillFeaturesPDE::kPaperInfoTicketKey);
  panel->updatePageSizeAndInputSlot();
  EXPECT_FALSE(panel->isCustomPageSize());
}

TEST_F(StartUpTest, ModelNameIsShortenedFrom39CharactersAtTheLastSpace) {
  const std::string exact38 = "Quill Press 9000 Production Edition 12";
  const std::string long39 = "Quill Press 9000 Production Edition 123";
  ASSERT_EQ(exact38.size(), 38u);
  ASSERT_EQ(long39.size(), 39u);
  struct Case {
    std::string model;
    std::string shown;
  };
  const Case cases[] = {
      {exact38, exact38},
      {long39, "Quill Press 9000 Production Edition"},
      {"", "Quill Press 9000"},  // from the PPD when the printer does not say
  };
  for (const Case& c : cases) {
    QuillFeaturesPDE::ResetProcessState();
    auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
    dialog->SetMakeAndModel(c.model);
    auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->PrinterNameText(), c.shown);
  }
}

TEST_F(StartUpTest, PlugInGivesAPanelOnlyForThePrintDialogType) {
  QuillFeaturesPDEPlugIn plugIn;
  EXPECT_TRUE(plugIn.initWithBundle(&Bundle::Main()));
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
  auto none = plugIn.PDEPanelsForType("1F3A-not-the-panel-type", dialog.get());
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
  auto panels = plugIn.PDEPanelsForType(QuillFeaturesPDE::kPanelType, dialog.get());
  ASSERT_TRUE(panels.has_value());
  ASSERT_EQ(panels->size(), 1u);
  EXPECT_EQ(QuillFeaturesPDE::CurrentInstance(), panels->front().get());
  panels->clear();
  // A PPD that is not the panel's: no panel at all.
  auto foreign = Dialog(
      EditedPPD(ExamplePath("QuillSample.ppd"), "*FileVersion: \"2.4\"\n", "", "NoVersion.ppd"));
  EXPECT_FALSE(plugIn.PDEPanelsForType(QuillFeaturesPDE::kPanelType, foreign.get()).has_value());
}

TEST_F(StartUpTest, ASecondControllerMakesTheNextTearDownLeaveTheSharedStateAlone) {
  auto dialogA = Dialog(ExamplePath("QuillSample.ppd"), "Sample", "a");
  auto dialogB = Dialog(ExamplePath("QuillSample.ppd"), "Sample", "b");
  auto first = QuillFeaturesPDE::initWithCallback(dialogA.get());
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(QuillFeaturesPDE::IgnoreNextDealloc());
  auto second = QuillFeaturesPDE::initWithCallback(dialogB.get());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(QuillFeaturesPDE::CurrentInstance(), second.get());
  EXPECT_EQ(QuillFeaturesPDE::SavedInstance(), first.get());
  EXPECT_TRUE(QuillFeaturesPDE::IgnoreNextDealloc());

  // The old one goes: only the flag is cleared, and it no longer counts as saved.
  first.reset();
  EXPECT_FALSE(QuillFeaturesPDE::IgnoreNextDealloc());
  EXPECT_EQ(QuillFeaturesPDE::CurrentInstance(), second.get());
  EXPECT_EQ(QuillFeaturesPDE::SavedInstance(), nullptr);
  second.reset();
  EXPECT_EQ(QuillFeaturesPDE::CurrentInstance(), nullptr);

  // The other order: the new one goes first; the old one is current again, never a dangling one.
  first = QuillFeaturesPDE::initWithCallback(dialogA.get());
  second = QuillFeaturesPDE::initWithCallback(dialogB.get());
  second.reset();
  EXPECT_FALSE(QuillFeaturesPDE::IgnoreNextDealloc());
  EXPECT_EQ(QuillFeaturesPDE::CurrentInstance(), first.get());
  EXPECT_EQ(QuillFeaturesPDE::SavedInstance(), nullptr);
  first.reset();
  EXPECT_EQ(QuillFeaturesPDE::CurrentInstance(), nullptr);
}

TEST_F(StartUpTest, DefaultsButtonResetsTheOptionsAndTheServerPresetNotes) {
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
  auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
  ASSERT_NE(panel, nullptr);
  panel->getPPDPtr()->GetPPDXControlForKey("*Duplex")->SetCurrentControlWithCFString(
      "DuplexTumble");
  panel->DefaultsButton();
  EXPECT_EQ(Value(*panel, "*Duplex"), "None");
  EXPECT_TRUE(panel->willShow());
  EXPECT_TRUE(panel->shouldHide());
}

TEST_F(StartUpTest, ServerPresetNotesAreEmptiedWhenTheModuleOpensForANewAddress) {
  const std::string ppd =
      EditedPPD(ExamplePath("QuillSample.ppd"), "*%KRTJobNote: *KRJobName/",
                "*%KRTFlags: *PresetName Spooler\n*%KRTGroup: *PresetName QPKRNotes\n"
                "*%KRTJobNote: *PresetName/Server Preset: 64\n*%PresetName: \"\"\n\n"
                "*%KRTJobNote: *KRJobName/",
                "Presets.ppd");
  // Before 10.7 the printer preference list is a file of the home folder, so the address and
  // the two-way switch can be stored without a spooler.
  SystemInfo::SetVersion({10, 6});
  fs::create_directories(home_.path() / "Library/Preferences");
  // No filter writes two-way data here: the waits for it are cut short.
  SpoolerWaits::SetTimeScale(0.001);
  auto dialog = Dialog(ppd);
  auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(Note(*panel, "*PresetName"), nullptr);
  // Two-way data off: the preset stays.
  Note(*panel, "*PresetName")->SetNotes("Glossy brochure");
  panel->launchFullProperties();
  EXPECT_EQ(Value(*panel, "*PresetName"), "Glossy brochure");
  // On, for an address the module has not been opened for: the preset goes.
  ASSERT_TRUE(panel->GetPDEDataPtr()->SetMeridiaPrinterAddress("192.0.2.7", true));
  panel->launchFullProperties();
  EXPECT_EQ(Value(*panel, "*PresetName"), "");
}

TEST_F(StartUpTest, BonjourServiceNameFromTheDeviceURI) {
  struct Case {
    const char* uri;
    const char* name;
  };
  const Case cases[] = {
      {"dnssd://Quill%20Press%209000._ipp._tcp.local./?uuid=1", "Quill Press 9000"},
      {"mdns://Front%20Desk._printer._tcp.local.", "Front Desk"},
      {"dnssd://Print%20Room._pdl-datastream._tcp.local./", "Print Room"},
      {"ipp://192.168.1.20/ipp/print", "192.168.1.20/ipp/print"},
      {"no-scheme-here", ""},
      {"://x._ipp._tcp", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuillFeaturesPDE::breakBonjourURLIntoMeaningFullItems(c.uri), c.name) << c.uri;
  }
}

TEST_F(StartUpTest, ABonjourQueueWithoutAnAddressTakesItsServiceNameTwoWayOff) {
  SystemInfo::SetVersion({10, 6});
  fs::create_directories(home_.path() / "Library/Preferences");
  struct Case {
    const char* uri;
    const char* stored;  // nullptr: nothing stored
  };
  const Case cases[] = {
      {"dnssd://Front%20Desk._ipp._tcp.local./?uuid=1", "Front Desk"},
      // A separator of the filter's commands decoded out of the URI is never stored.
      {"dnssd://A%3A%3ADELIMIT%3A%3AB._ipp._tcp.local./", nullptr},
      {"dnssd://Line%0ABreak._ipp._tcp.local./", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uri);
    fs::remove_all(home_.path() / "Library/Preferences");
    fs::create_directories(home_.path() / "Library/Preferences");
    QuillFeaturesPDE::ResetProcessState();
    auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
    dialog->SetDeviceURI(c.uri);
    auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isBonjourPrinter());
    bool ipEnabled = true;
    const std::optional<std::string> stored =
        panel->GetPDEDataPtr()->GetMeridiaPrinterAddress(&ipEnabled);
    if (c.stored != nullptr) {
      EXPECT_EQ(stored, c.stored);
      EXPECT_FALSE(ipEnabled);
    } else {
      EXPECT_TRUE(!stored || stored->empty()) << *stored;
    }
  }
}

TEST_F(StartUpTest, ThemeFollowsTheDesktopStyle) {
  auto dialog = Dialog(ExamplePath("QuillSample.ppd"));
  auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->callbackWithNotification(std::nullopt, false), "light");
  EXPECT_EQ(panel->callbackWithNotification("Dark", false), "dark");
  EXPECT_EQ(panel->callbackWithNotification("Dark", true), "light");
  EXPECT_EQ(panel->callbackWithNotification(std::nullopt, true), "dark");
  EXPECT_EQ(panel->Theme(), "dark");
}

TEST_F(StartUpTest, DynamicKeysAndTheInvalidAddressBlock) {
  const std::string ppd =
      EditedPPD(ExamplePath("QuillSample.ppd"), "*%KRTFlags: *InputSlot Spooler",
                "*%KRTFlags: *InputSlot Spooler|Dynamic", "Dynamic.ppd");
  auto dialog = Dialog(ppd);
  auto panel = QuillFeaturesPDE::initWithCallback(dialog.get());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->getDynamicPPDKeys(), ":DK:InputSlot");
  EXPECT_FALSE(panel->isInvalidPrinterAddress());
}

TEST_F(StartUpTest, PathsFromThePCFileNameStayInTheirFolder) {
  auto good = Dialog(ExamplePath("QuillSample.ppd"));
  auto panel = QuillFeaturesPDE::initWithCallback(good.get());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(
      panel->LocalPresetsPath(),
      (home_.path() / "root/tmp/KRT/JPData/Driver_QUILLS01.PPD/Presets/presets.xml").string());
  EXPECT_TRUE(panel->readLocalPresetsDataFromDynamicPPD());
  EXPECT_TRUE(fs::exists(panel->LocalPresetsPath()));
  panel.reset();

  QuillFeaturesPDE::ResetProcessState();
  auto evil = Dialog(EditedPPD(ExamplePath("QuillSample.ppd"), "*PCFileName: \"QUILLS01.PPD\"",
                               "*PCFileName: \"../../../etc\"", "Evil.ppd"));
  panel = QuillFeaturesPDE::initWithCallback(evil.get());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->LocalPresetsPath(), "");
  EXPECT_FALSE(panel->readLocalPresetsDataFromDynamicPPD());
  EXPECT_FALSE(panel->writeLocalJPPresetsToDynamicPPD());
}

}  // namespace
}  // namespace quill::testing
