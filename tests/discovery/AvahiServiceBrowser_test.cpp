// The Avahi service browser against the real Avahi daemon that the private-CUPS fixture runs.
//
// The fixture's print server does not advertise itself, so the tests publish it here, on the
// loopback interface only (nothing leaves the machine): "Quill Test Server" as _ipp._tcp on the
// print server's port at host quill-test-server.local (127.0.0.1), a second server at another
// host, and a service whose name holds a control character.
#include "connection/AvahiServiceBrowser.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/thread-watch.h>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <net/if.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "connection/BonjourModuleController.h"
#include "connection/HeadlessServiceBrowser.h"
#include "platform/Alert.h"
#include "support/CupsServer.h"
#include "support/TempDir.h"

namespace {

using quill::AvahiServiceBrowser;
using quill::BonjourModuleController;
using quill::FoundService;
using quill::ResolvedService;
using quill::testing::CupsServer;
using namespace std::chrono_literals;

constexpr const char* kFirstHost = "quill-test-server.local";
constexpr const char* kSecondName = "Quill Second Server";
constexpr const char* kSecondHost = "quill-second-server.local";
constexpr const char* kControlName = "Quill\x01Hidden";

int print_server_port() {
  const std::string uri = CupsServer::Shared().PrintServerURI();
  const std::size_t colon = uri.rfind(':');
  return std::atoi(uri.c_str() + colon + 1);
}

// Publishes services and host addresses on the loopback interface through its own client, with
// Avahi's threaded poll (it only has to keep the registration alive).
class LoopbackAdvertiser {
 public:
  LoopbackAdvertiser() : poll_(avahi_threaded_poll_new()) {
    int error = 0;
    client_ = avahi_client_new(avahi_threaded_poll_get(poll_), static_cast<AvahiClientFlags>(0),
                               nullptr, nullptr, &error);
    if (client_ == nullptr) {
      throw std::runtime_error(std::string("advertiser: ") + avahi_strerror(error));
    }
    group_ = avahi_entry_group_new(client_, &LoopbackAdvertiser::GroupCallback, this);
    loopback_ = static_cast<AvahiIfIndex>(if_nametoindex("lo"));
  }
  ~LoopbackAdvertiser() {
    avahi_threaded_poll_stop(poll_);
    avahi_client_free(client_);  // frees the group and withdraws what it published
    avahi_threaded_poll_free(poll_);
  }

  void AddHost(const char* host, AvahiProtocol protocol, const char* address) {
    AvahiAddress parsed;
    ASSERT_NE(avahi_address_parse(address, protocol, &parsed), nullptr) << address;
    ASSERT_EQ(avahi_entry_group_add_address(group_, loopback_, protocol, AVAHI_PUBLISH_NO_REVERSE,
                                            host, &parsed),
              0)
        << host << ": " << avahi_strerror(avahi_client_errno(client_));
  }
  void AddService(const char* name, const char* host, int port) {
    ASSERT_EQ(avahi_entry_group_add_service(group_, loopback_, AVAHI_PROTO_UNSPEC,
                                            static_cast<AvahiPublishFlags>(0), name, "_ipp._tcp",
                                            nullptr, host, static_cast<uint16_t>(port),
                                            "rp=ipp/print", nullptr),
              0)
        << name << ": " << avahi_strerror(avahi_client_errno(client_));
  }
  // Commits and waits until the daemon has established the records.
  void Publish() {
    ASSERT_EQ(avahi_entry_group_commit(group_), 0);
    ASSERT_EQ(avahi_threaded_poll_start(poll_), 0);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
      avahi_threaded_poll_lock(poll_);
      const int state = avahi_entry_group_get_state(group_);
      avahi_threaded_poll_unlock(poll_);
      if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) return;
      ASSERT_NE(state, AVAHI_ENTRY_GROUP_COLLISION);
      ASSERT_NE(state, AVAHI_ENTRY_GROUP_FAILURE);
      std::this_thread::sleep_for(20ms);
    }
    FAIL() << "the advertisement was not established";
  }

 private:
  static void GroupCallback(AvahiEntryGroup*, AvahiEntryGroupState, void*) {}

  AvahiThreadedPoll* poll_;
  AvahiClient* client_ = nullptr;
  AvahiEntryGroup* group_ = nullptr;
  AvahiIfIndex loopback_ = AVAHI_IF_UNSPEC;
};

// Records what the browser delivers.
class Recorder : public quill::ServiceBrowserListener {
 public:
  void ServiceFound(const FoundService& service) override { found.push_back(service); }
  void ServiceResolved(const ResolvedService& resolved) override { resolved_.push_back(resolved); }

  [[nodiscard]] bool Found(const std::string& name) const {
    return std::any_of(found.begin(), found.end(),
                       [&](const FoundService& s) { return s.name == name; });
  }
  std::vector<FoundService> found;
  std::vector<ResolvedService> resolved_;
};

// Polls until `done` or 20 seconds.
bool PollUntil(AvahiServiceBrowser& browser, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    browser.Poll(50ms);
  }
  return true;
}

class AvahiBrowse : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CupsServer::Shared();  // runs the system D-Bus and the Avahi daemon
    advertiser_ = new LoopbackAdvertiser();
    advertiser_->AddHost(kFirstHost, AVAHI_PROTO_INET, "127.0.0.1");
    advertiser_->AddHost(kSecondHost, AVAHI_PROTO_INET, "127.0.0.2");
    advertiser_->AddService(CupsServer::kServerName, kFirstHost, print_server_port());
    advertiser_->AddService(kSecondName, kSecondHost, print_server_port());
    advertiser_->AddService(kControlName, kFirstHost, print_server_port());
    advertiser_->Publish();
  }
  static void TearDownTestSuite() {
    delete advertiser_;
    advertiser_ = nullptr;
  }

  static LoopbackAdvertiser* advertiser_;
};

LoopbackAdvertiser* AvahiBrowse::advertiser_ = nullptr;

// The printer-name that an IPP server at `address`:`port` reports; "" when it does not answer.
std::string printer_name_at(const std::string& address, int port) {
  http_t* http = httpConnect2(address.c_str(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1,
                              5000, nullptr);
  if (http == nullptr) return {};
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  const std::string uri = "ipp://" + address + ":" + std::to_string(port) + "/ipp/print";
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  ipp_t* response = cupsDoRequest(http, request, "/ipp/print");
  std::string name;
  if (ipp_attribute_t* attr = ippFindAttribute(response, "printer-name", IPP_TAG_NAME)) {
    name = ippGetString(attr, 0, nullptr);
  }
  ippDelete(response);
  httpClose(http);
  return name;
}

TEST_F(AvahiBrowse, FindsAndResolvesTheStandInPrintServerByName) {
  AvahiServiceBrowser browser;
  Recorder recorder;
  browser.SetListener(&recorder);
  ASSERT_TRUE(browser.StartBrowsing(quill::ServiceBrowser::PrintServiceTypes()))
      << browser.LastError();
  EXPECT_TRUE(browser.IsBrowsing());
  EXPECT_TRUE(browser.IsActive());
  ASSERT_TRUE(PollUntil(browser, [&] { return recorder.Found(CupsServer::kServerName); }));
  const FoundService service = *std::find_if(
      recorder.found.begin(), recorder.found.end(),
      [](const FoundService& s) { return s.name == CupsServer::kServerName; });
  EXPECT_EQ(service.type, "_ipp._tcp");
  // Found over IPv4 and IPv6 on the loopback interface, it is still reported once.
  EXPECT_EQ(std::count(recorder.found.begin(), recorder.found.end(), service), 1);

  ASSERT_TRUE(browser.Resolve(service)) << browser.LastError();
  const auto has_endpoint = [&](const std::string& address) {
    return std::any_of(browser.Endpoints().begin(), browser.Endpoints().end(),
                       [&](const AvahiServiceBrowser::Endpoint& e) {
                         return e.service == service && e.address == address;
                       });
  };
  ASSERT_TRUE(PollUntil(browser, [&] { return has_endpoint("127.0.0.1"); }))
      << [&] {
           std::string all;
           for (const auto& e : browser.Endpoints()) all += " " + e.address;
           return "endpoints:" + all;
         }();
  for (const AvahiServiceBrowser::Endpoint& endpoint : browser.Endpoints()) {
    EXPECT_EQ(endpoint.hostName, kFirstHost);
    EXPECT_EQ(endpoint.port, print_server_port());
  }
  for (const ResolvedService& resolved : recorder.resolved_) {
    EXPECT_EQ(resolved.service, service);
    EXPECT_EQ(resolved.hostName, kFirstHost);
    ASSERT_EQ(resolved.addresses.size(), 1u);
  }
  // What was resolved is the stand-in print server itself.
  EXPECT_EQ(printer_name_at("127.0.0.1", print_server_port()), CupsServer::kServerName);

  browser.StopResolving();
  EXPECT_TRUE(browser.Endpoints().empty());
  browser.StopBrowsing();
  EXPECT_FALSE(browser.IsBrowsing());
  EXPECT_FALSE(browser.IsActive());
}

TEST_F(AvahiBrowse, NamesWithControlCharactersNeverReachTheListener) {
  AvahiServiceBrowser browser;
  Recorder recorder;
  browser.SetListener(&recorder);
  ASSERT_TRUE(browser.StartBrowsing({"_ipp._tcp"})) << browser.LastError();
  ASSERT_TRUE(PollUntil(browser, [&] {
    return recorder.Found(CupsServer::kServerName) && recorder.Found(kSecondName);
  }));
  // The daemon reports every service of one type together; give it a moment for stragglers.
  const auto until = std::chrono::steady_clock::now() + 1s;
  while (std::chrono::steady_clock::now() < until) browser.Poll(50ms);
  for (const FoundService& service : recorder.found) {
    EXPECT_TRUE(AvahiServiceBrowser::IsAcceptableText(service.name, 63)) << service.name;
  }
  EXPECT_FALSE(recorder.Found(kControlName));
}

TEST_F(AvahiBrowse, StoppingDropsWhatWasNotDeliveredYet) {
  AvahiServiceBrowser browser;
  Recorder recorder;
  browser.SetListener(&recorder);
  ASSERT_TRUE(browser.StartBrowsing({"_ipp._tcp"})) << browser.LastError();
  ASSERT_TRUE(PollUntil(browser, [&] { return recorder.Found(CupsServer::kServerName); }));
  const FoundService service = recorder.found.front();
  ASSERT_TRUE(browser.Resolve(service));
  browser.StopResolving();
  browser.StopBrowsing();
  recorder.found.clear();
  const auto until = std::chrono::steady_clock::now() + 1s;
  while (std::chrono::steady_clock::now() < until) browser.Poll(50ms);
  EXPECT_TRUE(recorder.found.empty());
  EXPECT_TRUE(recorder.resolved_.empty());
  // A new start finds the services again on the same connection.
  ASSERT_TRUE(browser.StartBrowsing({"_ipp._tcp"})) << browser.LastError();
  EXPECT_TRUE(PollUntil(browser, [&] { return recorder.Found(CupsServer::kServerName); }));
}

// The address store of the controller: remembers what was stored.
class MemoryStore : public quill::AddressStore {
 public:
  std::optional<std::string> GetMeridiaPrinterAddress(bool* ipEnabled) override {
    if (ipEnabled != nullptr) *ipEnabled = enabled;
    return address;
  }
  bool SetMeridiaPrinterAddress(std::string_view text, bool ipEnabled) override {
    address = std::string(text);
    enabled = ipEnabled;
    return true;
  }
  std::optional<std::string> address;
  bool enabled = false;
};

TEST_F(AvahiBrowse, BrowseWindowListsEveryServerAndOkStoresTheChosenOne) {
  AvahiServiceBrowser browser;
  MemoryStore store;
  quill::ManualOneShotTimer timer;
  quill::HeadlessAlertPresenter alerts;
  BonjourModuleController::Options options;
  options.offerBrowsing = true;
  options.hostAddressCount = 1;
  BonjourModuleController controller(&store, &browser, &timer, &alerts, options);

  ASSERT_TRUE(controller.configureButtonClicked());
  EXPECT_TRUE(browser.IsBrowsing()) << browser.LastError();
  (void)controller.numberOfRowsInTableView();
  const auto row_of = [&](const std::string& address) -> std::optional<std::size_t> {
    const auto& addresses = controller.Window().addresses;
    const auto it = std::find(addresses.begin(), addresses.end(), address);
    if (it == addresses.end()) return std::nullopt;
    return static_cast<std::size_t>(it - addresses.begin());
  };
  // Every found service is resolved: both servers are listed with their own hosts.
  ASSERT_TRUE(PollUntil(browser, [&] {
    return row_of("127.0.0.1").has_value() && row_of("127.0.0.2").has_value();
  })) << "rows: " << controller.numberOfRowsInTableView();
  EXPECT_EQ(controller.Window().hostNames[*row_of("127.0.0.2")], kSecondHost);

  controller.UpOrDownArrowKeySelection(row_of("127.0.0.1"));
  EXPECT_EQ(controller.Window().addressText, "127.0.0.1");
  ASSERT_TRUE(controller.OKClicked());
  EXPECT_FALSE(controller.bonjourWindowSessionRunning());
  EXPECT_FALSE(browser.IsActive());
  EXPECT_EQ(store.address, "127.0.0.1");
  EXPECT_TRUE(store.enabled);
  EXPECT_EQ(controller.Area().addressText, "127.0.0.1");
  EXPECT_EQ(controller.Area().serverName, kFirstHost);
  EXPECT_TRUE(alerts.Shown().empty());
}

// Runs in a process of its own (the D-Bus library keeps the bus address it first used) and exits
// 0 when every check holds; the reason goes to standard error.
[[noreturn]] void browse_without_a_bus(const std::string& nowhere) {
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", nowhere.c_str(), 1);
  AvahiServiceBrowser browser;
  Recorder recorder;
  browser.SetListener(&recorder);
  const auto start = std::chrono::steady_clock::now();
  const bool started = browser.StartBrowsing({"_ipp._tcp"});
  const std::string reason = browser.LastError();
  const bool resolved = browser.Resolve({"Quill Test Server", "_ipp._tcp", "local"});
  const int delivered = browser.Poll(10ms);
  // No wait for a daemon that is not there (a generous bound, not a measurement).
  const bool quick = std::chrono::steady_clock::now() - start < 10s;
  std::fprintf(stderr, "%s\n", reason.c_str());
  const bool ok = !started && !resolved && delivered == 0 && !browser.IsBrowsing() &&
                  !browser.IsConnected() && !browser.IsActive() && recorder.found.empty() && quick;
  std::exit(ok ? 0 : 1);
}

TEST(AvahiServiceBrowserDeathTest, UnreachableDaemonFailsAtOnceWithAReason) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  quill::testing::TempDir dir;
  const std::string nowhere = "unix:path=" + (dir.path() / "no-bus").string();
  EXPECT_EXIT(browse_without_a_bus(nowhere), ::testing::ExitedWithCode(0),
              "Avahi daemon not reachable: ");
}

TEST(AvahiServiceBrowserText, LinkLocalAddressesCarryTheirZone) {
  const int loopback = static_cast<int>(if_nametoindex("lo"));
  ASSERT_GT(loopback, 0);
  const std::tuple<std::string, int, std::string> cases[] = {
      {"fe80::1", loopback, "fe80::1%lo"},
      {"febf::1", loopback, "febf::1%lo"},   // the end of fe80::/10
      {"fe80::1", 0, ""},                     // no interface: not offered
      {"fec0::1", 0, "fec0::1"},              // beyond fe80::/10
      {"fd00::2", 0, "fd00::2"},              // unique local, reachable without a zone
      {"::1", loopback, "::1"},
      {"127.0.0.1", loopback, "127.0.0.1"},
      // A NUL byte ends the text for the address parser; such a text is no address.
      {std::string("fe80::1\0junk", 12), loopback, std::string("fe80::1\0junk", 12)},
  };
  for (const auto& [address, interface, expected] : cases) {
    EXPECT_EQ(AvahiServiceBrowser::AddressWithZone(address, interface), expected) << address;
  }
  // A zoned address passes the panel's address rule, so it can be chosen in the browse window.
  EXPECT_EQ(BonjourModuleController::CheckAddress("fe80::1%lo"),
            BonjourModuleController::AddressCheck::kAccepted);
}

TEST(AvahiServiceBrowserText, AcceptsBoundedUtf8WithoutControlCharacters) {
  const std::pair<std::string, bool> cases[] = {
      {"Quill Test Server", true},
      {"Drucker \xC3\xBC" "ber Flur", true},       // UTF-8 letters
      {"\xE2\x9C\x93 ok", true},                   // three-byte character
      {"", false},                                 // empty
      {std::string(63, 'a'), true},                // at the bound
      {std::string(64, 'a'), false},               // beyond it
      {"line\nbreak", false},                      // C0 control
      {std::string("nul\0byte", 8), false},        // NUL inside
      {"del\x7f", false},                          // DEL
      {"c1\xC2\x85", false},                       // C1 control (NEL)
      {"bad\xC3", false},                          // cut inside a character
      {"\xC0\xAF", false},                         // overlong
      {"\xED\xA0\x80", false},                     // surrogate
      {"\xFF", false},                             // not UTF-8 at all
  };
  for (const auto& [text, accepted] : cases) {
    EXPECT_EQ(AvahiServiceBrowser::IsAcceptableText(text, 63), accepted) << text;
  }
}

}  // namespace
