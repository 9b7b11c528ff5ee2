#include "connection/BonjourModuleController.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/SystemInfo.h"

namespace quill {
namespace {

std::unique_ptr<BonjourModuleController>& kept() {
  static std::unique_ptr<BonjourModuleController> controller;
  return controller;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 && c > 0; }

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// An IPv6 literal, optionally in brackets and with a zone ("fe80::1%eth0").
bool is_ipv6(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  const std::size_t percent = text.find('%');
  if (percent != std::string_view::npos) {
    const std::string_view zone = text.substr(percent + 1);
    if (zone.empty()) return false;
    for (char c : zone) {
      if (!is_alnum(c) && c != '-' && c != '_' && c != '.') return false;
    }
    text = text.substr(0, percent);
  }
  const std::string literal(text);
  std::array<unsigned char, sizeof(in6_addr)> buffer{};
  return ::inet_pton(AF_INET6, literal.c_str(), buffer.data()) == 1;
}

// A DNS name (labels of letters, digits and "-", 1 to 63 bytes each, at most one final dot,
// at most 253 bytes) or, when its last label is numeric, a dotted IPv4 address.
bool is_name_or_ipv4(std::string_view text) {
  if (!text.empty() && text.back() == '.') text.remove_suffix(1);
  if (text.empty() || text.size() > 253) return false;
  std::string_view last;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = text.find('.', start);
    const std::string_view label =
        text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (label.empty() || label.size() > 63) return false;
    for (char c : label) {
      if (!is_alnum(c) && c != '-') return false;
    }
    last = label;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  if (std::all_of(last.begin(), last.end(), is_digit)) {
    const std::string literal(text);
    std::array<unsigned char, sizeof(in_addr)> buffer{};
    return ::inet_pton(AF_INET, literal.c_str(), buffer.data()) == 1;
  }
  return true;
}

// Byte length of the first `count` UTF-8 characters of `text` (all of it when shorter); the
// number of characters is returned through `characters`.
std::size_t utf8_prefix(std::string_view text, std::size_t count, std::size_t* characters) {
  std::size_t chars = 0;
  std::size_t i = 0;
  while (i < text.size() && chars < count) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    ++chars;
  }
  if (characters != nullptr) *characters = chars;
  return i;
}

std::size_t utf8_length(std::string_view text) {
  std::size_t chars = 0;
  utf8_prefix(text, text.size(), &chars);
  return chars;
}

}  // namespace

BonjourModuleController::BonjourModuleController(AddressStore* store, ServiceBrowser* browser,
                                                 OneShotTimer* timer, AlertPresenter* alerts,
                                                 Options options)
    : store_(store), browser_(browser), timer_(timer), alerts_(alerts), options_(options) {
  // From 10.7 on the system discovers print servers itself, so browsing is not offered there
  // unless the front end asks for it.
  area_.configureHidden = !options_.offerBrowsing && SystemInfo::Version().AtLeast(10, 7);
  if (browser_ != nullptr) browser_->SetListener(this);
}

BonjourModuleController::~BonjourModuleController() {
  // A browser handed on to a newer controller is left to it.
  if (browser_ != nullptr && browser_->Listener() == this) {
    browser_->StopBrowsing();
    browser_->StopResolving();
    browser_->SetListener(nullptr);
  }
  if (timer_ != nullptr) timer_->Cancel();
}

BonjourModuleController& BonjourModuleController::init(AddressStore* store, ServiceBrowser* browser,
                                                       OneShotTimer* timer, AlertPresenter* alerts,
                                                       Options options) {
  if (!kept()) {
    kept() = std::make_unique<BonjourModuleController>(store, browser, timer, alerts, options);
  }
  return *kept();
}

BonjourModuleController* BonjourModuleController::GetsBonjourModuleController() {
  return kept().get();
}

void BonjourModuleController::setsBonjourModuleController(
    std::unique_ptr<BonjourModuleController> controller) {
  kept() = std::move(controller);
}

// --- the address rule -------------------------------------------------------------------------

std::string BonjourModuleController::ShortenAddress(std::string_view address) {
  static constexpr std::array<std::string_view, 3> kSuffixes = {
      "._printer._tcp.local.", "._pdl-datastream._tcp.local.", "._ipp._tcp.local."};
  std::string out(address);
  for (std::string_view suffix : kSuffixes) {
    const std::size_t at = out.find(suffix);
    if (at != std::string::npos) {
      out.erase(at, suffix.size());
      break;
    }
  }
  return out;
}

BonjourModuleController::AddressCheck BonjourModuleController::CheckAddress(
    std::string_view address) {
  if (address.empty()) return AddressCheck::kEmpty;
  const bool accepted =
      address.find(':') != std::string_view::npos ? is_ipv6(address) : is_name_or_ipv4(address);
  return accepted ? AddressCheck::kAccepted : AddressCheck::kInvalid;
}

bool BonjourModuleController::IsSafeAddress(std::string_view address) {
  if (address.find(kCommandSeparator) != std::string_view::npos) return false;
  return std::none_of(address.begin(), address.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

std::string BonjourModuleController::CutServerName(std::string_view name) {
  if (utf8_length(name) < kNameCutFrom) return std::string(name);
  const std::string_view head = name.substr(0, utf8_prefix(name, kNameCutWithin, nullptr));
  const std::size_t space = head.rfind(' ');
  // Without a space to cut at (or only a leading one) the name is cut after its first
  // characters, never inside one.
  if (space == std::string_view::npos || space == 0) return std::string(head);
  return std::string(head.substr(0, space));
}

// --- panel area -------------------------------------------------------------------------------

bool BonjourModuleController::setIPAddress() {
  if (store_ == nullptr) return false;
  bool enabled = false;
  const std::optional<std::string> address = store_->GetMeridiaPrinterAddress(&enabled);
  if (!address) return false;
  setprinterIPField(*address);
  return true;
}

void BonjourModuleController::setprinterIPField(std::string_view text) {
  area_.addressText = ShortenAddress(text);
}

void BonjourModuleController::setBIDIStatusON(bool on) {
  area_.bidiChecked = on;
  area_.greyed = !on;
}

void BonjourModuleController::greyoutConfigureButton() { area_.configureEnabled = false; }

void BonjourModuleController::greyoutBIDICheckbox(bool enable) { area_.bidiEnabled = enable; }

bool BonjourModuleController::BIDICheckBoxClicked(bool on) {
  area_.configureEnabled = false;
  area_.addressEditable = false;
  setBIDIStatusON(on);
  return StoreAddress(area_.addressText, on);
}

bool BonjourModuleController::validatePrinterAddress() {
  const std::string& text = area_.addressText;
  AddressCheck check = AddressCheck::kAccepted;
  if (area_.bidiChecked) {
    check = CheckAddress(text);
  } else if (!IsSafeAddress(text)) {
    check = AddressCheck::kInvalid;
  }
  if (check == AddressCheck::kAccepted) return true;
  ShowAddressAlert(check);
  return false;
}

void BonjourModuleController::UpdateUITheme(std::string_view theme) {
  area_.theme = theme == "dark" ? "dark" : "light";
}

std::string BonjourModuleController::getCurrentTheme(const ThemeSettings& settings) {
  bool dark = settings.interfaceStyle.has_value() && !settings.interfaceStyle->empty();
  if (settings.switchesAutomatically) dark = !dark;
  return dark ? "dark" : "light";
}

BonjourModuleController::Colours BonjourModuleController::CurrentColours() const {
  const bool dark = area_.theme == "dark";
  if (area_.greyed) return dark ? Colours{"#7f7f7f", "#7f7f7f"} : Colours{"#a0a0a0", "#a0a0a0"};
  return dark ? Colours{"#ffffff", "#dcdcdc"} : Colours{"#000000", "#262626"};
}

// --- browse window ----------------------------------------------------------------------------

bool BonjourModuleController::configureButtonClicked() {
  if (area_.configureHidden || !area_.configureEnabled) return false;
  StopBrowsingAndResolving();
  if (timer_ != nullptr) timer_->Cancel();
  found_.clear();
  window_ = WindowState{};
  selectedHost_.clear();
  firstDataSourceCall_ = true;
  delegateSeen_ = false;
  ascending_ = true;
  window_.addressText = area_.addressText;
  window_.open = true;
  if (browser_ != nullptr && !browser_->StartBrowsing(ServiceBrowser::PrintServiceTypes())) {
    PanelLog("BonjourModuleController::configureButtonClicked: browsing could not start");
  }
  return true;
}

std::size_t BonjourModuleController::numberOfRowsInTableView() {
  if (firstDataSourceCall_) InitServiceResolve();
  return window_.hostNames.size();
}

std::string BonjourModuleController::objectValue(Column column, std::size_t row) {
  if (firstDataSourceCall_) InitServiceResolve();
  if (!delegateSeen_ || row >= window_.hostNames.size() || row >= window_.addresses.size()) {
    window_.reloadRequested = true;
    return {};
  }
  return column == Column::kName ? window_.hostNames[row] : window_.addresses[row];
}

void BonjourModuleController::didClickTableColumn(Column column) {
  const std::size_t rows = std::min(window_.hostNames.size(), window_.addresses.size());
  std::vector<std::pair<std::string, std::string>> table;
  table.reserve(rows);
  for (std::size_t i = 0; i < rows; ++i) {
    table.emplace_back(window_.hostNames[i], window_.addresses[i]);
  }
  std::optional<std::pair<std::string, std::string>> selected;
  if (window_.selectedRow && *window_.selectedRow < rows) selected = table[*window_.selectedRow];

  const bool ascending = ascending_;
  std::stable_sort(table.begin(), table.end(), [&](const auto& a, const auto& b) {
    const std::string key_a = lower(column == Column::kName ? a.first : a.second);
    const std::string key_b = lower(column == Column::kName ? b.first : b.second);
    return ascending ? key_a < key_b : key_b < key_a;
  });
  window_.hostNames.clear();
  window_.addresses.clear();
  for (auto& [host, address] : table) {
    window_.hostNames.push_back(std::move(host));
    window_.addresses.push_back(std::move(address));
  }
  // The selection stays on the same server.
  window_.selectedRow.reset();
  if (selected) {
    for (std::size_t i = 0; i < rows; ++i) {
      if (window_.hostNames[i] == selected->first && window_.addresses[i] == selected->second) {
        window_.selectedRow = i;
        break;
      }
    }
  }

  const char* indicator = ascending ? kAscendingIndicator : kDescendingIndicator;
  window_.sortColumn = column;
  window_.nameIndicator = column == Column::kName ? indicator : "";
  window_.addressesIndicator = column == Column::kAddresses ? indicator : "";
  ascending_ = !ascending_;
  window_.reloadRequested = true;
}

void BonjourModuleController::UpOrDownArrowKeySelection(std::optional<std::size_t> row) {
  if (!row) {
    window_.selectedRow.reset();
    return;
  }
  if (*row >= window_.hostNames.size() || *row >= window_.addresses.size()) {
    window_.reloadRequested = true;
    return;
  }
  window_.selectedRow = row;
  window_.addressText = window_.addresses[*row];
  selectedHost_ = window_.hostNames[*row];
}

void BonjourModuleController::tableViewColumnDidResize() {
  if (window_.selectedRow) return;
  for (std::size_t i = 0; i < window_.addresses.size() && i < window_.hostNames.size(); ++i) {
    if (window_.addresses[i] == area_.addressText) {
      UpOrDownArrowKeySelection(i);
      return;
    }
  }
}

bool BonjourModuleController::OKClicked() {
  StopBrowsingAndResolving();
  const std::string address = window_.addressText;
  const AddressCheck check = CheckAddress(address);
  if (check != AddressCheck::kAccepted) {
    ShowAddressAlert(check);
    return false;
  }
  if (!StoreAddress(address, true)) {
    PanelLog("BonjourModuleController::OKClicked: the address %s could not be stored",
             address.c_str());
  }
  setprinterIPField(address);
  setBIDIStatusON(true);
  for (std::size_t i = 0; i < window_.addresses.size() && i < window_.hostNames.size(); ++i) {
    if (window_.addresses[i] == address) {
      area_.serverName = CutServerName(window_.hostNames[i]);
      break;
    }
  }
  CloseWindow();
  return true;
}

void BonjourModuleController::clickedCancel() {
  StopBrowsingAndResolving();
  window_.addressText = area_.addressText;
  if (window_.addressText.empty()) setBIDIStatusON(false);
  CloseWindow();
}

void BonjourModuleController::timerFireMethod() {
  if (window_.open) window_.progressShown = false;
}

// --- service browser results ------------------------------------------------------------------

void BonjourModuleController::ServiceFound(const FoundService& service) {
  if (!window_.open) return;
  delegateSeen_ = true;
  if (std::find(found_.begin(), found_.end(), service) != found_.end()) return;
  found_.push_back(service);
  // Every service found is resolved, so each server shows up in the table.
  if (browser_ != nullptr && browser_->Resolve(service)) resolving_.push_back(service);
}

void BonjourModuleController::ServiceResolved(const ResolvedService& resolved) {
  if (!window_.open) return;
  delegateSeen_ = true;
  std::erase(resolving_, resolved.service);
  for (const std::string& address : resolved.addresses) {
    bool listed = false;
    for (std::size_t i = 0; i < window_.addresses.size(); ++i) {
      if (window_.addresses[i] == address && window_.hostNames[i] == resolved.hostName) {
        listed = true;
        break;
      }
    }
    if (listed) continue;
    window_.hostNames.push_back(resolved.hostName);
    window_.addresses.push_back(address);
  }
  window_.reloadRequested = true;
}

// --- helpers ----------------------------------------------------------------------------------

AlertPresenter& BonjourModuleController::Alerts() const {
  return alerts_ != nullptr ? *alerts_ : CurrentAlertPresenter();
}

void BonjourModuleController::ShowAddressAlert(AddressCheck check) const {
  const Bundle& bundle = Bundle::Main();
  AlertText text;
  text.message = bundle.LocalizedString(
      check == AddressCheck::kEmpty ? "IP_NOT_CONFIG" : "INVALID_IP_ADDRESS", kStringTable);
  text.informative = bundle.LocalizedString("PRESS_OKAY", kStringTable);
  text.defaultButton = bundle.LocalizedString("OK", kStringTable);
  (void)Alerts().Show(text);
}

bool BonjourModuleController::StoreAddress(std::string_view address, bool on) {
  if (store_ == nullptr) return false;
  if (!IsSafeAddress(address)) {
    PanelLog(
        "BonjourModuleController: an address with a control character or the command "
        "separator is not stored");
    return false;
  }
  // Two-way communication needs an address it can reach.
  const bool enabled = on && CheckAddress(address) == AddressCheck::kAccepted;
  return store_->SetMeridiaPrinterAddress(address, enabled);
}

void BonjourModuleController::InitServiceResolve() {
  firstDataSourceCall_ = false;
  if (HostAddressCount() >= kProgressHostAddresses && timer_ != nullptr) {
    window_.progressShown = true;
    timer_->Schedule(kProgressTime, [this] { timerFireMethod(); });
  } else {
    window_.progressShown = false;
  }
  if (browser_ == nullptr) return;
  // Services found before this point that are not resolving yet are resolved now.
  for (const FoundService& service : found_) {
    if (std::find(resolving_.begin(), resolving_.end(), service) != resolving_.end()) continue;
    if (browser_->Resolve(service)) resolving_.push_back(service);
  }
}

void BonjourModuleController::StopBrowsingAndResolving() {
  if (browser_ == nullptr) return;
  browser_->StopBrowsing();
  browser_->StopResolving();
  resolving_.clear();
}

void BonjourModuleController::CloseWindow() {
  window_.open = false;
  window_.progressShown = false;
  if (timer_ != nullptr) timer_->Cancel();
}

std::size_t BonjourModuleController::HostAddressCount() const {
  if (options_.hostAddressCount) return *options_.hostAddressCount;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return 0;
  std::size_t count = 0;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr) continue;
    const int family = entry->ifa_addr->sa_family;
    if (family == AF_INET || family == AF_INET6) ++count;
  }
  ::freeifaddrs(list);
  return count;
}

}  // namespace quill
