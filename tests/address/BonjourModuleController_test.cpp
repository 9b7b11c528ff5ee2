#include "connection/BonjourModuleController.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "connection/HeadlessServiceBrowser.h"
#include "connection/KRTMeridiaPrinterPList.h"
#include "foundation/ProcessGlobals.h"
#include "panel/PDEData.h"
#include "platform/Alert.h"
#include "platform/PrintSession.h"
#include "platform/SystemInfo.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using quill::BonjourModuleController;
using quill::FoundService;
using quill::HeadlessServiceBrowser;
using Check = BonjourModuleController::AddressCheck;
using Column = BonjourModuleController::Column;

constexpr const char* kNotConfigured = "The IP Address or DNS Name must be assigned.";
constexpr const char* kInvalid = "You have entered an invalid IP Address or DNS Name";
constexpr const char* kPressOkay = "Press OK to enter a new IP Address or DNS Name.";

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The session data of a queue as the controller's address store.
class SessionStore : public quill::AddressStore {
 public:
  explicit SessionStore(PDEData& data) : data_(data) {}
  std::optional<std::string> GetMeridiaPrinterAddress(bool* ipEnabled) override {
    return data_.GetMeridiaPrinterAddress(ipEnabled);
  }
  bool SetMeridiaPrinterAddress(std::string_view address, bool ipEnabled) override {
    ++stores;
    return data_.SetMeridiaPrinterAddress(address, ipEnabled);
  }
  int stores = 0;

 private:
  PDEData& data_;
};

// ---------------------------------------------------------------------------------------------
// The address rule, without a session.

TEST(BonjourAddressRule, ShortensTheFirstServiceSuffixFound) {
  const std::pair<const char*, const char*> cases[] = {
      {"Press Room._ipp._tcp.local.", "Press Room"},
      {"Press._printer._tcp.local.", "Press"},
      {"Press._pdl-datastream._tcp.local.", "Press"},
      // Only the first kind found is removed, in the order printer, pdl-datastream, ipp.
      {"A._ipp._tcp.local.B._printer._tcp.local.", "A._ipp._tcp.local.B"},
      {"10.0.0.7", "10.0.0.7"},
      {"Press._ipp._tcp.local", "Press._ipp._tcp.local"},  // without the final dot: kept
      {"", ""},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(BonjourModuleController::ShortenAddress(in), out) << in;
  }
}

TEST(BonjourAddressRule, AcceptsNamesAndBothAddressFamiliesOnly) {
  const std::pair<const char*, Check> cases[] = {
      {"", Check::kEmpty},
      {"printer", Check::kAccepted},
      {"press-1.example.com", Check::kAccepted},
      {"press.local.", Check::kAccepted},  // one final dot of a full name
      {"10.0.0.7", Check::kAccepted},
      {"::1", Check::kAccepted},
      {"2001:db8::7", Check::kAccepted},
      {"[2001:db8::7]", Check::kAccepted},
      {"fe80::1%eth0", Check::kAccepted},
      {"::ffff:10.0.0.7", Check::kAccepted},
      {"..", Check::kInvalid},
      {".", Check::kInvalid},
      {"press..local", Check::kInvalid},
      {".press", Check::kInvalid},
      {"press.local..", Check::kInvalid},
      {"press room", Check::kInvalid},
      {"press_room", Check::kInvalid},
      {"10.0.0.256", Check::kInvalid},
      {"10.0.0", Check::kInvalid},
      {"2001:db8::7::1", Check::kInvalid},
      {"fe80::1%", Check::kInvalid},
      {"[::1", Check::kInvalid},
      {"::DELIMIT::", Check::kInvalid},
      {"10.0.0.7::DELIMIT::x", Check::kInvalid},
      {"pr\xC3\xA9ss", Check::kInvalid},
      {"press\n", Check::kInvalid},
  };
  for (const auto& [address, expected] : cases) {
    EXPECT_EQ(BonjourModuleController::CheckAddress(address), expected) << address;
  }
  EXPECT_EQ(BonjourModuleController::CheckAddress(std::string(63, 'a') + ".b"), Check::kAccepted);
  EXPECT_EQ(BonjourModuleController::CheckAddress(std::string(64, 'a') + ".b"), Check::kInvalid);
}

TEST(BonjourAddressRule, SafeTextKeepsSpacesButNotCommandBreakers) {
  EXPECT_TRUE(BonjourModuleController::IsSafeAddress("press room"));
  EXPECT_TRUE(BonjourModuleController::IsSafeAddress("::1"));
  EXPECT_FALSE(BonjourModuleController::IsSafeAddress("10.0.0.7::DELIMIT::/tmp/x.ppd"));
  EXPECT_FALSE(BonjourModuleController::IsSafeAddress("press\troom"));
  EXPECT_FALSE(BonjourModuleController::IsSafeAddress("press\x7f"));
}

TEST(BonjourAddressRule, LongServerNamesAreCutAtTheirLastSpaceWithin38Characters) {
  const std::string name38 = "Production Press North Building Floor2";  // 38 characters
  ASSERT_EQ(name38.size(), 38u);
  const std::pair<std::string, std::string> cases[] = {
      {"Press", "Press"},
      {name38, name38},
      // 39 characters: cut at the last space of the first 38.
      {name38 + "x", "Production Press North Building"},
      {"Production Press North Building Floor 2 East", "Production Press North Building Floor"},
      // No space to cut at: the first 38 characters.
      {std::string(45, 'p'), std::string(38, 'p')},
      // Two-byte characters: counted as characters and never split.
      {std::string("\xC3\xA9") + std::string(40, 'e'),
       std::string("\xC3\xA9") + std::string(37, 'e')},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(BonjourModuleController::CutServerName(in), out) << in;
  }
}

TEST(BonjourTheme, ThemeFollowsTheInterfaceStyleAndItsAutomaticSwitch) {
  using Settings = BonjourModuleController::ThemeSettings;
  EXPECT_EQ(BonjourModuleController::getCurrentTheme(Settings{}), "light");
  EXPECT_EQ(BonjourModuleController::getCurrentTheme(Settings{"Dark", false}), "dark");
  EXPECT_EQ(BonjourModuleController::getCurrentTheme(Settings{std::nullopt, true}), "dark");
  EXPECT_EQ(BonjourModuleController::getCurrentTheme(Settings{"Dark", true}), "light");

  BonjourModuleController controller(nullptr, nullptr, nullptr);
  controller.setBIDIStatusON(true);
  const auto light = controller.CurrentColours();
  controller.UpdateUITheme("dark");
  EXPECT_EQ(controller.Area().theme, "dark");
  const auto dark = controller.CurrentColours();
  EXPECT_NE(light.text, dark.text);
  controller.setBIDIStatusON(false);
  EXPECT_TRUE(controller.Area().greyed);
  EXPECT_NE(controller.CurrentColours().text, dark.text);
  controller.UpdateUITheme("sepia");
  EXPECT_EQ(controller.Area().theme, "light");
}

TEST(BonjourConfigureButton, HiddenFrom10_7UnlessBrowsingIsOffered) {
  const std::pair<quill::SystemVersion, bool> cases[] = {
      {{10, 6}, false}, {{10, 7}, true}, {{10, 15}, true}, {{11, 0}, true}, {{14, 2}, true}};
  for (const auto& [version, hidden] : cases) {
    quill::SystemInfo::SetVersion(version);
    BonjourModuleController controller(nullptr, nullptr, nullptr);
    EXPECT_EQ(controller.Area().configureHidden, hidden) << version.major << "." << version.minor;
    EXPECT_EQ(controller.configureButtonClicked(), !hidden);

    BonjourModuleController::Options offered;
    offered.offerBrowsing = true;
    BonjourModuleController desktop(nullptr, nullptr, nullptr, nullptr, offered);
    EXPECT_FALSE(desktop.Area().configureHidden);
  }
  quill::SystemInfo::Reset();
}

TEST(BonjourProcessController, InitKeepsOneControllerPerProcess) {
  BonjourModuleController::setsBonjourModuleController(nullptr);
  EXPECT_EQ(BonjourModuleController::GetsBonjourModuleController(), nullptr);
  BonjourModuleController& first = BonjourModuleController::init(nullptr, nullptr, nullptr);
  BonjourModuleController& again = BonjourModuleController::init(nullptr, nullptr, nullptr);
  EXPECT_EQ(&first, &again);
  EXPECT_EQ(BonjourModuleController::GetsBonjourModuleController(), &first);
  BonjourModuleController::setsBonjourModuleController(nullptr);
  EXPECT_EQ(BonjourModuleController::GetsBonjourModuleController(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// The controller over a queue's session data. On the old system version the preference list is
// a file in $HOME, so storing needs no spooler.

class BonjourControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quill::SystemInfo::SetVersion({10, 6});
    quill::PrintSession::Reset();
    fs::create_directories(home_.path() / "Library/Preferences");
    fs::create_directories(home_.path() / "run");
    ResetProcessGlobals();
    ppd_ = std::make_unique<KRTPPD>(quill::testing::FixturePath("Session.ppd"), 3);
    data_ = std::make_unique<PDEData>(ppd_.get(), "Press");
    store_ = std::make_unique<SessionStore>(*data_);
  }
  void TearDown() override {
    controller_.reset();
    store_.reset();
    data_.reset();
    ppd_.reset();
    quill::SystemInfo::Reset();
  }

  BonjourModuleController& Controller(std::size_t hostAddresses = 1) {
    BonjourModuleController::Options options;
    options.hostAddressCount = hostAddresses;
    controller_ = std::make_unique<BonjourModuleController>(store_.get(), &browser_, &timer_,
                                                            &alerts_, options);
    return *controller_;
  }
  // What a fresh session reads back for the queue: address and switch.
  std::pair<std::string, bool> Stored() {
    PDEData fresh(ppd_.get(), "Press");
    return {fresh.PrinterList()->Find("Press"), fresh.PrinterList()->getIPEnabled("Press")};
  }
  void Announce(const std::string& name, const std::string& host,
                std::vector<std::string> addresses) {
    browser_.Announce({name, "_ipp._tcp", "local."}, {host, std::move(addresses)});
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& alert : alerts_.Shown()) out.push_back(alert.message);
    return out;
  }

  quill::testing::TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path().string()};
  ScopedEnv run_env_{"XDG_RUNTIME_DIR", (home_.path() / "run").string()};
  std::unique_ptr<KRTPPD> ppd_;
  std::unique_ptr<PDEData> data_;
  std::unique_ptr<SessionStore> store_;
  HeadlessServiceBrowser browser_;
  quill::ManualOneShotTimer timer_;
  quill::HeadlessAlertPresenter alerts_;
  std::unique_ptr<BonjourModuleController> controller_;
};

TEST_F(BonjourControllerTest, StoredAddressIsShownShortened) {
  ASSERT_TRUE(data_->SetMeridiaPrinterAddress("Press Room._ipp._tcp.local.", false));
  auto& controller = Controller();
  ASSERT_TRUE(controller.setIPAddress());
  EXPECT_EQ(controller.getprinterIPField(), "Press Room");

  BonjourModuleController no_store(nullptr, nullptr, nullptr);
  EXPECT_FALSE(no_store.setIPAddress());
  EXPECT_EQ(no_store.getprinterIPField(), "");
}

TEST_F(BonjourControllerTest, CheckBoxStoresTheFieldWithTheSwitch) {
  struct Case {
    const char* field;
    bool on;
    const char* storedAddress;
    bool storedOn;
  };
  const Case cases[] = {
      {"10.0.0.7", true, "10.0.0.7", true},
      {"10.0.0.7", false, "10.0.0.7", false},
      {"", true, "", false},                      // switched on without an address: stored off
      {"press room", true, "press room", false},  // not an address two-way can reach
      {"2001:db8::7", true, "2001:db8::7", true},
  };
  for (const Case& c : cases) {
    auto& controller = Controller();
    controller.setprinterIPField(c.field);
    EXPECT_TRUE(controller.BIDICheckBoxClicked(c.on)) << c.field;
    EXPECT_EQ(Stored(), std::make_pair(std::string(c.storedAddress), c.storedOn)) << c.field;
    EXPECT_EQ(controller.isBIDIEnabled(), c.on);
    EXPECT_EQ(controller.Area().greyed, !c.on);
    EXPECT_FALSE(controller.Area().configureEnabled);
    EXPECT_FALSE(controller.Area().addressEditable);
  }
}

TEST_F(BonjourControllerTest, TextThatWouldBreakACommandIsNeverStored) {
  ASSERT_TRUE(data_->SetMeridiaPrinterAddress("10.0.0.7", true));
  auto& controller = Controller();
  for (const char* text : {"10.0.0.8::DELIMIT::/tmp/other.ppd", "10.0.0.8\n"}) {
    controller.setprinterIPField(text);
    store_->stores = 0;
    EXPECT_FALSE(controller.BIDICheckBoxClicked(false)) << text;
    EXPECT_FALSE(controller.BIDICheckBoxClicked(true)) << text;
    EXPECT_EQ(store_->stores, 0);
    EXPECT_EQ(Stored(), std::make_pair(std::string("10.0.0.7"), true));
  }
}

TEST_F(BonjourControllerTest, ValidationAlertsWithTheExactTexts) {
  struct Case {
    const char* field;
    bool on;
    const char* message;  // null: accepted without an alert
  };
  const Case cases[] = {
      {"10.0.0.7", true, nullptr},
      {"fe80::1%eth0", true, nullptr},
      {"", true, kNotConfigured},
      {"press room", true, kInvalid},
      {"..", true, kInvalid},
      {"press room", false, nullptr},  // with two-way off any text is taken...
      {"", false, nullptr},
      {"x::DELIMIT::y", false, kInvalid},  // ...but one that breaks a command
  };
  for (const Case& c : cases) {
    auto& controller = Controller();
    controller.setprinterIPField(c.field);
    controller.setBIDIStatusON(c.on);
    alerts_.ClearShown();
    EXPECT_EQ(controller.validatePrinterAddress(), c.message == nullptr) << c.field;
    if (c.message == nullptr) {
      EXPECT_TRUE(alerts_.Shown().empty()) << c.field;
      continue;
    }
    ASSERT_EQ(alerts_.Shown().size(), 1u) << c.field;
    const quill::AlertText& alert = alerts_.Shown()[0];
    EXPECT_EQ(alert.message, c.message);
    EXPECT_EQ(alert.informative, kPressOkay);
    EXPECT_EQ(alert.defaultButton, "OK");
    EXPECT_EQ(alert.alternateButton, "");
  }
}

TEST_F(BonjourControllerTest, BrowseFlowResolvesEveryServiceSortsSelectsAndStores) {
  Announce("Press North", "Production Press North Building Floor 2 East.local.",
           {"10.0.0.21", "fe80::21"});
  Announce("archive", "archive.local.", {"10.0.0.9"});
  Announce("Bindery", "Bindery.local.", {"10.0.0.30"});
  auto& controller = Controller(/*hostAddresses=*/4);
  controller.setprinterIPField("10.0.0.9");
  ASSERT_TRUE(controller.configureButtonClicked());
  EXPECT_TRUE(controller.bonjourWindowSessionRunning());
  EXPECT_EQ(controller.Window().addressText, "10.0.0.9");
  EXPECT_TRUE(browser_.IsBrowsing());

  // Every found service is resolved, not only the first; one row per address.
  EXPECT_EQ(browser_.ResolveRequests().size(), 3u);
  ASSERT_EQ(controller.numberOfRowsInTableView(), 4u);
  EXPECT_EQ(controller.objectValue(Column::kName, 1),
            "Production Press North Building Floor 2 East.local.");
  EXPECT_EQ(controller.objectValue(Column::kAddresses, 1), "fe80::21");

  // A host with 4 addresses shows the progress indicator until the 15-second timer fires.
  EXPECT_TRUE(controller.Window().progressShown);
  ASSERT_EQ(timer_.Pending(), std::chrono::milliseconds(15000));
  EXPECT_TRUE(timer_.Fire());
  EXPECT_FALSE(controller.Window().progressShown);

  // Sorting ignores case, alternates the direction and keeps the lists parallel.
  controller.didClickTableColumn(Column::kName);
  EXPECT_EQ(controller.Window().hostNames,
            (std::vector<std::string>{"archive.local.", "Bindery.local.",
                                      "Production Press North Building Floor 2 East.local.",
                                      "Production Press North Building Floor 2 East.local."}));
  EXPECT_EQ(controller.Window().addresses[0], "10.0.0.9");
  EXPECT_EQ(controller.Window().nameIndicator, "NSAscendingSortIndicator");
  EXPECT_EQ(controller.Window().addressesIndicator, "");
  controller.didClickTableColumn(Column::kName);
  EXPECT_EQ(controller.Window().hostNames[3], "archive.local.");
  EXPECT_EQ(controller.Window().addresses[3], "10.0.0.9");
  EXPECT_EQ(controller.Window().nameIndicator, "NSDescendingSortIndicator");
  controller.didClickTableColumn(Column::kAddresses);
  EXPECT_EQ(controller.Window().addresses,
            (std::vector<std::string>{"10.0.0.21", "10.0.0.30", "10.0.0.9", "fe80::21"}));
  EXPECT_EQ(controller.Window().hostNames[1], "Bindery.local.");
  EXPECT_EQ(controller.Window().nameIndicator, "");
  EXPECT_EQ(controller.Window().addressesIndicator, "NSAscendingSortIndicator");

  // With no row selected, a column resize selects the panel address's row.
  controller.tableViewColumnDidResize();
  EXPECT_EQ(controller.Window().selectedRow, 2u);

  // A row beyond the lists reads nothing and only asks for a reload.
  controller.reloadDone();
  controller.UpOrDownArrowKeySelection(4);
  EXPECT_EQ(controller.Window().selectedRow, 2u);
  EXPECT_TRUE(controller.Window().reloadRequested);
  EXPECT_EQ(controller.objectValue(Column::kName, 99), "");

  controller.UpOrDownArrowKeySelection(0);
  EXPECT_EQ(controller.Window().addressText, "10.0.0.21");
  EXPECT_EQ(controller.SelectedHostName(), "Production Press North Building Floor 2 East.local.");

  ASSERT_TRUE(controller.OKClicked());
  EXPECT_FALSE(controller.bonjourWindowSessionRunning());
  EXPECT_FALSE(browser_.IsBrowsing());
  EXPECT_EQ(Stored(), std::make_pair(std::string("10.0.0.21"), true));
  EXPECT_EQ(controller.getprinterIPField(), "10.0.0.21");
  EXPECT_TRUE(controller.isBIDIEnabled());
  EXPECT_EQ(controller.Area().serverName, "Production Press North Building Floor");
  EXPECT_TRUE(alerts_.Shown().empty());
}

TEST_F(BonjourControllerTest, OKKeepsTheWindowOpenForAnEmptyOrRefusedAddress) {
  auto& controller = Controller();
  ASSERT_TRUE(controller.configureButtonClicked());
  // Refused whatever the check box says.
  controller.setBIDIStatusON(false);
  for (const auto& [text, message] :
       {std::pair{"", kNotConfigured}, std::pair{"press room", kInvalid},
        std::pair{"10.0.0.7::DELIMIT::x", kInvalid}}) {
    alerts_.ClearShown();
    store_->stores = 0;
    controller.setWindowAddressText(text);
    EXPECT_FALSE(controller.OKClicked()) << text;
    EXPECT_TRUE(controller.bonjourWindowSessionRunning());
    EXPECT_EQ(Messages(), std::vector<std::string>{message});
    EXPECT_EQ(store_->stores, 0);
  }
  // A typed address that is not in the list leaves the server name alone.
  controller.setServerName("Old Name");
  controller.setWindowAddressText("press.example.com");
  EXPECT_TRUE(controller.OKClicked());
  EXPECT_EQ(controller.Area().serverName, "Old Name");
  EXPECT_EQ(Stored(), std::make_pair(std::string("press.example.com"), true));
}

TEST_F(BonjourControllerTest, CancelRestoresTheFieldAndSwitchesOffWithoutAnAddress) {
  Announce("Bindery", "Bindery.local.", {"10.0.0.30"});
  for (const char* panel_text : {"", "10.0.0.9"}) {
    auto& controller = Controller();
    controller.setprinterIPField(panel_text);
    controller.setBIDIStatusON(true);
    ASSERT_TRUE(controller.configureButtonClicked());
    controller.UpOrDownArrowKeySelection(0);
    EXPECT_EQ(controller.Window().addressText, "10.0.0.30");
    store_->stores = 0;
    controller.clickedCancel();
    EXPECT_FALSE(controller.bonjourWindowSessionRunning());
    EXPECT_FALSE(browser_.IsBrowsing());
    EXPECT_EQ(controller.Window().addressText, panel_text);
    EXPECT_EQ(controller.isBIDIEnabled(), std::string(panel_text) != "") << panel_text;
    EXPECT_EQ(store_->stores, 0);
  }
}

TEST_F(BonjourControllerTest, AControllerGoneLeavesTheBrowserToItsSuccessor) {
  Announce("Bindery", "Bindery.local.", {"10.0.0.30"});
  auto first = std::make_unique<BonjourModuleController>(store_.get(), &browser_, &timer_);
  BonjourModuleController second(store_.get(), &browser_, &timer_);
  first.reset();
  EXPECT_EQ(browser_.Listener(), &second);
  ASSERT_TRUE(second.configureButtonClicked());
  EXPECT_EQ(second.numberOfRowsInTableView(), 1u);
}

TEST_F(BonjourControllerTest, ResultsArriveLaterAndAfterCloseAreIgnored) {
  HeadlessServiceBrowser late(/*resolveAtOnce=*/false);
  BonjourModuleController controller(store_.get(), &late, &timer_, &alerts_);
  ASSERT_TRUE(controller.configureButtonClicked());
  // Before any result a cell is empty and a reload is asked for; no progress on a small host.
  EXPECT_EQ(controller.objectValue(Column::kName, 0), "");
  EXPECT_TRUE(controller.Window().reloadRequested);

  late.Announce({"Bindery", "_ipp._tcp", "local."}, {"Bindery.local.", {"10.0.0.30"}});
  late.Announce({"archive", "_ipp._tcp", "local."}, {"archive.local.", {"10.0.0.9"}});
  EXPECT_EQ(controller.numberOfRowsInTableView(), 0u);
  late.DeliverResolutions();
  EXPECT_EQ(controller.numberOfRowsInTableView(), 2u);
  EXPECT_EQ(controller.objectValue(Column::kAddresses, 1), "10.0.0.9");

  // The same service announced again is not listed twice.
  late.StartBrowsing(quill::ServiceBrowser::PrintServiceTypes());
  late.DeliverResolutions();
  EXPECT_EQ(controller.numberOfRowsInTableView(), 2u);

  controller.clickedCancel();
  controller.ServiceResolved({{"x", "_ipp._tcp", "local."}, "x.local.", {"10.0.0.1"}});
  EXPECT_EQ(controller.Window().addresses.size(), 2u);

  // Reopening starts from an empty table and an ascending sort.
  ASSERT_TRUE(controller.configureButtonClicked());
  EXPECT_TRUE(controller.Window().hostNames.empty());
  controller.didClickTableColumn(Column::kName);
  EXPECT_EQ(controller.Window().nameIndicator, "NSAscendingSortIndicator");
}

}  // namespace
