// UI_Panel: the bridge between the panel's option tree and the job-properties window. This part
// builds the panel tree (PPDTree) that the quick-access pane and its customisation dialog show:
// the groups with the controls eligible for the pane, and the quick-access entries, stored or
// from the PPD's shortcuts, placed within the groups.
#pragma once

class PDEData;
struct PPDTree;

class UI_Panel {
 public:
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

 private:
  PDEData* pdeData_;  // not owned
};
