// UI_Panel: the bridge between the panel's option tree and the job-properties window. It builds
// the panel tree (PPDTree) that the quick-access pane and its customisation dialog show, flattens
// the current settings and watermarks into the shared list for the module, runs one module
// session (JPModule), and takes the module's answers back into the option tree, the session data
// and the print settings.
//
// Values that come back from the module are checked before they enter the option tree: a value
// that a control refuses (an unknown pop-up option, a boolean that is neither) is logged and left
// out, so no option the PPD lacks flows into feature code.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "server/SDMKeyValueList.h"
#include "server/SharedMemoryList.h"

class PDEData;
class PPDXControl;
struct PPDTree;

namespace quill {
class JPReturnTimer;
class SpoolerChannel;
}  // namespace quill

class UI_Panel {
 public:
  // Launch actions.
  static constexpr int kActionOpen = 1;
  static constexpr int kActionInvalidAddress = 4;

  // What a launch came to.
  struct LaunchOutcome {
    bool ran = false;     // the module's window ran (a session began)
    std::string result;   // the shared list's result field after the run
    std::string message;  // why it did not run, or what the result means
  };
  // One pair the module returned and what became of it.
  struct AppliedSetting {
    std::string key;
    std::string value;
    std::string before;  // the control's value before ("" when none)
    std::string outcome; // "set", "unchanged", "table", "print settings", "job note", "watermark",
                         // "copies", "refused: <why>", "ignored"
  };

  // `data` is the panel's session (not owned; must outlive the bridge).
  explicit UI_Panel(PDEData* data);
  virtual ~UI_Panel();
  UI_Panel(const UI_Panel&) = delete;
  UI_Panel& operator=(const UI_Panel&) = delete;

  // Rebuilds the process-wide tree (GetPPDTree) from the session's PPD:
  //  - quick-access entries: the PPD's shortcuts that are eligible (IsValidBasicPanelControl)
  //    and not hidden by the device management, replaced by the queue's stored list when there
  //    is one;
  //  - group nodes: every group after the first but "KRPPInstallableOptions" and "KRScrollPane",
  //    each with the eligible popups, booleans and job notes of the tree (after the first
  //    control) whose parent it is; a quick-access entry's position becomes
  //    100 x (group position + 1) + position within the group; groups left empty are removed.
  // Nothing but emptying the tree happens without a session or PPD.
  void PopulatePPDTreeStructure();
  // The same into `tree`.
  void PopulatePPDTreeStructure(PPDTree& tree);

  [[nodiscard]] PDEData* GetPDEData() const { return pdeData_; }

  // --- the session's state for the module -------------------------------------------------

  // Two-way data on or off and the printer address (the address controller's state).
  void SetTwoWay(bool on, std::string address);
  [[nodiscard]] bool TwoWay() const { return twoWay_; }
  // The loaded two-way data text (the panel's fdata) the callbacks answer from.
  void SetBidiData(std::string text) { bidiData_ = std::move(text); }
  // The spooler channel that shows the two-way error and answers the busy-printer question; may
  // be null (then a "-1" result is only reported).
  void SetSpoolerChannel(quill::SpoolerChannel* channel) { channel_ = channel; }
  // How the return is noticed (default: ImmediateJPReturnTimer).
  void SetReturnTimer(std::unique_ptr<quill::JPReturnTimer> timer);
  // The shared list (made on first use, zeroed).
  [[nodiscard]] SharedMemoryList& Shared();

  // --- settings and watermarks ------------------------------------------------------------

  // The current settings as a new list of the host's allocator (free with FreeSDMList): every
  // control's value, the custom size, the special job notes, the watermark selection, paper
  // catalog, copies, orientation and the four tables. Fills the installable-options field of
  // the shared list. Null when there is no PPD.
  [[nodiscard]] SDMKeyValueList* GetDefaultSettings();
  bool GetDefaultSettings(SDMKeyValueList** out);
  static void FreeSDMList(SDMKeyValueList* list);
  // Applies the module's pairs (see the table in the class comment and AppliedSetting). The list
  // is read checked (SDMReadKeyValueList); a null list changes nothing but the emptied tables.
  void SetUpdatedSettings(const SDMKeyValueList* list);
  [[nodiscard]] const std::vector<AppliedSetting>& LastApplied() const { return lastApplied_; }

  // Writes the session's watermarks into the shared list (the five bundle defaults when there
  // are none; at most 20).
  void GetWatermarks(SharedMemoryList* list);
  // Rebuilds the session's watermarks from the shared list.
  void UpdateWatermarks(const SharedMemoryList* list);

  // The dialog's paper: true (and the custom size kept) when it is a custom paper.
  bool GetOSPageSize();
  [[nodiscard]] const std::string& CustomSizeText() const { return customSize_; }

  // --- presets and resets -----------------------------------------------------------------

  // The server preset last applied (pairs as the module gave them).
  void SetServerPreset(quill::WidePairs preset) { serverPreset_ = std::move(preset); }
  // True when no current value differs from the saved server preset (numbers compared as
  // numbers, so "1.0" equals "1.00" but not "11.05"; other values as texts).
  [[nodiscard]] bool compareJPServerPresets();
  // Writes the saved preset's type, name and time stamp back into their job notes.
  void revertBackJPServerPresets();
  // Empties the special job notes and preset notes, resets every control but installable
  // options and "*PageSize" to its default, empties the tables and the paper catalog ("-1").
  void ResetControlsToDefault();
  // With two-way data on: makes a job note for each special colour control holding its value;
  // a missing control is skipped (logged), the others still get theirs.
  void makeJobNotesForSpecialControls();

  // Puts the user's account name (at most 256 bytes) into "*KRUserAuthName" when the PPD has it.
  void GetOSAccountName();

  // --- the module run -----------------------------------------------------------------------

  // Notes the helper's loading and copies the bundle's name and version and a later "4."
  // maker version of the PPD into the shared list.
  void LoadHelperModule();
  // Whether the PPD's maker version is 4.2 or 4.3 (compared as numbers).
  [[nodiscard]] bool isGable3() const;
  // Runs the full job-properties step: fills the shared list, runs the module session and, via
  // the return timer, OnJPReturn. Without a module it says so in the outcome and changes nothing.
  LaunchOutcome LaunchJobProperties(int action);
  // Takes the run's result: "0" applies the settings and watermarks; "-1" shows the two-way
  // error and may relaunch once without two-way data; other results change nothing.
  void OnJPReturn();
  [[nodiscard]] int getReturnFromJP() const { return returnFromJP_; }
  void setReturnFromJP(int value) { returnFromJP_ = value; }
  [[nodiscard]] int getfromCustomizepanel() const { return fromCustomize_; }
  void setfromCustomizepanel(int value) { fromCustomize_ = value; }

 private:
  PPDXControl* FindControl(const char* keyword) const;
  PPDXControl* EnsureJobNote(const char* keyword);
  void SetJobNote(const char* keyword, const std::string& value);
  [[nodiscard]] std::vector<std::pair<std::string, std::string>> CurrentSettings();

  PDEData* pdeData_;  // not owned
  int returnFromJP_ = 0;
  int fromCustomize_ = 0;
  std::string customSize_;
  std::string customPaperName_;
  quill::WidePairs serverPreset_;
  quill::SharedMemoryListPtr shared_;
  bool twoWay_ = false;
  std::string address_;
  std::string bidiData_;
  quill::SpoolerChannel* channel_ = nullptr;  // not owned
  std::unique_ptr<quill::JPReturnTimer> timer_;
  std::vector<AppliedSetting> lastApplied_;
  bool relaunched_ = false;
  LaunchOutcome lastOutcome_;
};
