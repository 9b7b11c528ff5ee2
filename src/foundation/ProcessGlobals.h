// ProcessGlobals: the panel's process-wide state, gathered in one place.
//
// The panel runs on its host's main thread and keeps these values as plain global data; nothing
// here is locked. `ResetProcessGlobals()` restores every value to its start value; tests call it
// between cases.
#pragma once

#include <cstdint>
#include <string>

// The users' pop-up job-note preferences, read from the queue's PPD after each parse.
struct PopupJobNotePrefs {
  char enable = '0';    // '1' when the pop-up job notes are enabled
  char setting = '1';   // '1' or '2': the account setting
  char showLast = '0';  // '1' when the last texts are shown
  std::string noteKeywords[5];
  std::string savedTexts[5];
};

struct ProcessGlobals {
  // Server's UTF-8 support level, the value of the special option *KRUTF8_Version; 0 when absent.
  int KRUTF8Version = 0;
  // The PPD's language version is "Japanese": job-note text is Shift-JIS, not Mac Roman.
  bool popupJobNotesLangIsJapanese = false;
  // The server is a document server (the UTF-8 rule of levels 5 and 6 depends on it).
  bool documentServer = false;

  // Pop-up job notes: set-up finished, at least one exists, the Defaults button reset is running.
  bool popupJobNotesDoneInitializing = false;
  bool popupJobNotesFoundOne = false;
  bool popupJobNotesDefaultsButton = false;

  // Set when a PPD stream meets "*% End of PPD file"; nothing more is read until it is cleared.
  bool endOfPPDLatch = false;

  // _DISPLAY_OPTIONS_: bit 1 include orphans, bit 2 include hidden elements.
  uint32_t displayOptions = 0;
  // _EXTENSIONS_SUPPORT_: which job-note flags a PPD may use; every bit set at start.
  uint32_t extensionsSupport = 0xFFFFFFFFu;
  // A custom page size was chosen in the page-setup dialog.
  bool customPageSizeSelectedInPageSetup = false;

  // Pop-up job notes: the users' preferences and the title of the prompt window.
  PopupJobNotePrefs popupJobNotePrefs;
  std::string popupJobNotesWindowTitle;

  // Path of the current queue's PPD file (`destinationPPD`); empty while the panel has none. The
  // per-queue data blocks stored in that PPD are read from it.
  std::string currentPPDPath;
};

// The one instance.
ProcessGlobals& Globals();

// Restores every field to its start value.
void ResetProcessGlobals();
