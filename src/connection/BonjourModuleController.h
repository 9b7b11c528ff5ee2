// BonjourModuleController: the logic of the panel's printer-address area (the address field, the
// server-name field, the two-way check box and the configure button) and of its browse window,
// which lists the print servers found on the network. It holds what the toolkit draws as plain
// data (AreaState, WindowState): a front end draws those states and forwards the user's actions
// to the methods below, and tests drive the same methods headless.
//
// The address and the two-way switch are kept per queue by an AddressStore (the panel's session
// data). Alerts go through an AlertPresenter, discovery through a ServiceBrowser, and the browse
// window's progress timer through a OneShotTimer.
//
// One address rule holds everywhere an address is checked or stored (see CheckAddress): a DNS
// name, an IPv4 address or an IPv6 address; with the two-way switch off any text is accepted
// except one that could not travel in a spooler command (control characters, the "::DELIMIT::"
// field separator). An address that fails the full rule is never stored with the switch on.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/ServiceBrowser.h"
#include "platform/Alert.h"

namespace quill {

// Where the queue's address and two-way switch are kept.
class AddressStore {
 public:
  virtual ~AddressStore() = default;
  // The queue's address; `ipEnabled` receives the stored switch when there is one. nullopt when
  // there is nothing to read from.
  virtual std::optional<std::string> GetMeridiaPrinterAddress(bool* ipEnabled) = 0;
  // Stores address and switch for the queue; false when they could not be stored.
  virtual bool SetMeridiaPrinterAddress(std::string_view address, bool ipEnabled) = 0;
};

// How the printer-address controller is set up.
struct BonjourModuleOptions {
  // Shows the configure button (and so browsing) whatever the system version. Off, the button
  // is hidden from 10.7 on, where the system has a discovery of its own; a Linux desktop has
  // none, so its front end sets this.
  bool offerBrowsing = false;
  // How many addresses this host has; nullopt counts the host's interface addresses.
  std::optional<std::size_t> hostAddressCount;
};

class BonjourModuleController : public ServiceBrowserListener {
 public:
  enum class AddressCheck { kAccepted, kEmpty, kInvalid };
  enum class Column { kName, kAddresses };

  static constexpr const char* kStringTable = "BidiStrings";
  static constexpr const char* kAscendingIndicator = "NSAscendingSortIndicator";
  static constexpr const char* kDescendingIndicator = "NSDescendingSortIndicator";
  static constexpr const char* kCommandSeparator = "::DELIMIT::";
  static constexpr std::chrono::seconds kProgressTime{15};
  // The progress indicator is shown only on a host with at least this many addresses.
  static constexpr std::size_t kProgressHostAddresses = 4;
  // A server name of kNameCutFrom characters or more is cut at its last space within the first
  // kNameCutWithin characters.
  static constexpr std::size_t kNameCutFrom = 39;
  static constexpr std::size_t kNameCutWithin = 38;

  using Options = BonjourModuleOptions;

  // The panel area as the toolkit shows it.
  struct AreaState {
    std::string addressText;  // the address field (shortened for display)
    bool addressEditable = true;
    std::string serverName;  // the server-name field
    bool bidiChecked = false;
    bool bidiEnabled = true;
    bool configureEnabled = true;
    bool configureHidden = false;
    bool greyed = false;  // the area is drawn in the greyed colours
    std::string theme = "light";
  };

  // The browse window as the toolkit shows it.
  struct WindowState {
    bool open = false;                   // the modal session runs
    std::vector<std::string> hostNames;  // column "name"
    std::vector<std::string> addresses;  // column "addresses", parallel to hostNames
    std::string addressText;             // the window's address field
    std::optional<Column> sortColumn;
    std::string nameIndicator;       // "" or one of the indicator names
    std::string addressesIndicator;  // "" or one of the indicator names
    std::optional<std::size_t> selectedRow;
    bool progressShown = false;
    bool reloadRequested = false;
  };

  // Colours of the area's texts as "#rrggbb" for the theme and greyed state.
  struct Colours {
    std::string text;
    std::string caption;
  };

  // The theme's settings: the user's interface style ("Dark" when set) and whether the style
  // switches automatically.
  struct ThemeSettings {
    std::optional<std::string> interfaceStyle;
    bool switchesAutomatically = false;
  };

  // A controller over `store`, `browser`, `timer` (none owned; each must outlive the
  // controller; `store` may be null, then nothing is read or stored) and `alerts` (null for the
  // process's presenter). Becomes the browser's listener.
  BonjourModuleController(AddressStore* store, ServiceBrowser* browser, OneShotTimer* timer,
                          AlertPresenter* alerts = nullptr, Options options = {});
  ~BonjourModuleController() override;
  BonjourModuleController(const BonjourModuleController&) = delete;
  BonjourModuleController& operator=(const BonjourModuleController&) = delete;

  // --- one controller per process ------------------------------------------------------------

  // The kept controller, or a new one made with these arguments and kept.
  static BonjourModuleController& init(AddressStore* store, ServiceBrowser* browser,
                                       OneShotTimer* timer, AlertPresenter* alerts = nullptr,
                                       Options options = {});
  // The kept controller; null when none.
  static BonjourModuleController* GetsBonjourModuleController();
  // Keeps `controller` (null drops the kept one).
  static void setsBonjourModuleController(std::unique_ptr<BonjourModuleController> controller);

  // --- the address rule ------------------------------------------------------------------------

  // The address without the first of "._printer._tcp.local.", "._pdl-datastream._tcp.local.",
  // "._ipp._tcp.local." that it contains.
  [[nodiscard]] static std::string ShortenAddress(std::string_view address);
  // kEmpty for "", kAccepted for a DNS name (labels of letters, digits and "-", at most one
  // final "."), an IPv4 or an IPv6 address (brackets and a zone allowed), else kInvalid.
  [[nodiscard]] static AddressCheck CheckAddress(std::string_view address);
  // True when `address` can travel in a spooler command (no control character, no separator).
  [[nodiscard]] static bool IsSafeAddress(std::string_view address);
  // `name` cut as the server-name field shows it.
  [[nodiscard]] static std::string CutServerName(std::string_view name);

  // --- panel area ------------------------------------------------------------------------------

  // Shows the queue's stored address, shortened; false when the store has none to give.
  bool setIPAddress();
  void setprinterIPField(std::string_view text);
  [[nodiscard]] const std::string& getprinterIPField() const { return area_.addressText; }
  void setServerName(std::string_view name) { area_.serverName = name; }
  [[nodiscard]] bool isBIDIEnabled() const { return area_.bidiChecked; }
  // Sets the check box and shows the area normal (on) or greyed (off).
  void setBIDIStatusON(bool on);
  void greyoutConfigureButton();
  // Enables the check box when `enable`, else disables it.
  void greyoutBIDICheckbox(bool enable);
  // The user set the check box to `on`: locks the address field, stores its text with the
  // switch (off when the text fails the address rule) and recolours. False when nothing could
  // be stored (no store, an unsafe text, or the store failed).
  bool BIDICheckBoxClicked(bool on);
  // Checks the address field (the full rule with the check box on, safety alone with it off)
  // and alerts about an empty or refused address; true when accepted.
  bool validatePrinterAddress();

  // Recolours for "dark" or "light" (anything else counts as "light").
  void UpdateUITheme(std::string_view theme);
  // "dark" when the interface style is set, else "light"; the other one when it switches
  // automatically.
  [[nodiscard]] static std::string getCurrentTheme(const ThemeSettings& settings);
  [[nodiscard]] Colours CurrentColours() const;

  // --- browse window ---------------------------------------------------------------------------

  // Opens the browse window: starts browsing anew with empty lists and runs the window. False
  // (nothing opened) when the configure button is hidden or disabled.
  bool configureButtonClicked();
  [[nodiscard]] bool bonjourWindowSessionRunning() const { return window_.open; }
  // The table's data source: row count and the text of a cell ("" beyond the lists, with a
  // reload requested). The first request before any result starts resolving.
  [[nodiscard]] std::size_t numberOfRowsInTableView();
  [[nodiscard]] std::string objectValue(Column column, std::size_t row);
  // Sorts by `column`, ascending and descending in turn.
  void didClickTableColumn(Column column);
  // The selection changed to `row` (nullopt: none).
  void UpOrDownArrowKeySelection(std::optional<std::size_t> row);
  // A column was resized: with no row selected, selects the row of the panel's address.
  void tableViewColumnDidResize();
  // The user edited the window's address field.
  void setWindowAddressText(std::string_view text) { window_.addressText = text; }
  // The reload was done by the toolkit.
  void reloadDone() { window_.reloadRequested = false; }
  // OK: stores the window's address and closes; false (window left open, alert shown) when the
  // address is empty or refused, or when it could not be stored.
  bool OKClicked();
  // Cancel: closes without storing.
  void clickedCancel();
  // The progress timer fired.
  void timerFireMethod();

  [[nodiscard]] const AreaState& Area() const { return area_; }
  [[nodiscard]] const WindowState& Window() const { return window_; }
  // The host name that went with the last selected row ("" when none).
  [[nodiscard]] const std::string& SelectedHostName() const { return selectedHost_; }

  // ServiceBrowserListener
  void ServiceFound(const FoundService& service) override;
  void ServiceResolved(const ResolvedService& resolved) override;

 private:
  AlertPresenter& Alerts() const;
  void ShowAddressAlert(AddressCheck check) const;
  bool StoreAddress(std::string_view address, bool on);
  void InitServiceResolve();
  void StopBrowsingAndResolving();
  void CloseWindow();
  std::size_t HostAddressCount() const;

  AddressStore* store_;
  ServiceBrowser* browser_;
  OneShotTimer* timer_;
  AlertPresenter* alerts_;
  Options options_;
  AreaState area_;
  WindowState window_;
  std::vector<FoundService> found_;
  std::vector<FoundService> resolving_;
  std::string selectedHost_;
  bool firstDataSourceCall_ = true;
  bool delegateSeen_ = false;
  bool ascending_ = true;
};

}  // namespace quill
