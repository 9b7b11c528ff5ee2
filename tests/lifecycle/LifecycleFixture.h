// The panel controller's tests run in a private world: home, runtime and configuration folders,
// the fixed paths' root, the alert presenter and the process-wide state are the test's own, and
// no printer is online (nothing is sent to any spooler).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "foundation/ProcessGlobals.h"
#include "panel/PPDTree.h"
#include "panel/PopupJobNoteWindow.h"
#include "panel/QuillFeaturesPDE.h"
#include "platform/Alert.h"
#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/PrintDialogCallback.h"
#include "platform/PrintSession.h"
#include "platform/SystemInfo.h"
#include "server/SpoolerCommands.h"
#include "support/TempDir.h"

namespace quill::testing {

class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(home_.path() / "run");
    std::filesystem::create_directories(home_.path() / "root/tmp");
    std::filesystem::create_directories(home_.path() / "root/Library/Caches/KRT");
    Paths::SetRoot((home_.path() / "root").string());
    ResetProcessGlobals();
    PrintSession::Reset();
    SystemInfo::Reset();
    QuillFeaturesPDE::ResetProcessState();
    GetPPDTree().Clear();
    SetAlertPresenter(&alerts_);
    SetPopupJobNotePresenter(nullptr);
  }
  void TearDown() override {
    SetAlertPresenter(nullptr);
    SetPopupJobNotePresenter(nullptr);
    QuillFeaturesPDE::ResetProcessState();
    GetPPDTree().Clear();
    PrintSession::Reset();
    SystemInfo::Reset();
    Paths::ResetRoot();
    SpoolerWaits::ResetTimeScale();
    KRTPPD::Options(0);
  }

  // A dialog for `queue` on a private copy of the PPD at `source`, named `copyName` (the spooler
  // hands out copies under names of its own).
  std::unique_ptr<PrintDialogCallback> Dialog(const std::string& source,
                                              const std::string& queue = "Sample",
                                              const std::string& copyName = "cupsppd-4711") {
    const std::filesystem::path copy = home_.path() / copyName;
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing);
    return std::make_unique<PrintDialogCallback>(queue, copy.string(), false);
  }

  // The PPD at `source` with `from` replaced by `to` (the first time), as a new file.
  std::string EditedPPD(const std::string& source, const std::string& from, const std::string& to,
                        const std::string& name) {
    std::ifstream in(source);
    std::stringstream text;
    text << in.rdbuf();
    std::string ppd = text.str();
    const std::size_t at = ppd.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) ppd.replace(at, from.size(), to);
    return home_.Write(name, ppd);
  }

  static std::string Value(QuillFeaturesPDE& panel, const char* keyword) {
    PPDXControl* control = panel.getPPDPtr()->GetPPDXControlForKey(keyword);
    if (control == nullptr) return "<none>";
    return control->CopyCurrentControlValueString().value_or("");
  }
  static PPDXJobNote* Note(QuillFeaturesPDE& panel, const char* keyword) {
    return dynamic_cast<PPDXJobNote*>(panel.getPPDPtr()->GetPPDXControlForKey(keyword));
  }

  TempDir home_;
  ScopedVariable homeVariable_{"HOME", home_.path().string()};
  ScopedVariable runVariable_{"XDG_RUNTIME_DIR", (home_.path() / "run").string()};
  ScopedVariable configVariable_{"XDG_CONFIG_HOME", (home_.path() / "config").string()};
  ScopedVariable bundleVariable_{"QUILL_BUNDLE_DIR", ""};
  HeadlessAlertPresenter alerts_;
};

}  // namespace quill::testing
