// PPDXErrorObj: one parse error of a PPD: its code (PPDErr_*), the keyword it concerns, whether it
// ends the parse, and the line of the file where it was found. The description of a parse error is
// always empty.
#pragma once

#include "foundation/CError.h"
#include "foundation/CString.h"

// Parse error codes.
enum : short {
  PPDErr_OutOfMemory = 1,
  PPDErr_PropPageParsing = 4,
  PPDErr_GroupParsing = 5,
  PPDErr_JobNoteParsing = 6,
  PPDErr_RangeParsing = 7,
  PPDErr_OpenUIParsing = 8,
  PPDErr_BooleanParsing = 9,
  PPDErr_OpenUIKRTParsing1 = 10,
  PPDErr_PopupParsing = 11,
  PPDErr_GroupNameParsing = 12,
  PPDErr_ParentParsingNoParent = 14,
  PPDErr_ParentParsing = 15,
  PPDErr_ControlParsing = 16,
  PPDErr_FileError = 18,
  PPDErr_BadShortcut = 19,
  PPDErr_NoParent = 21,
  PPDErr_Duplicate = 23,
  PPDErr_NoPropertyPages = 25,
  PPDErr_NoGroups = 26,
  PPDErr_NoControls = 27,
  PPDErr_NotPPDFile = 28,
  PPDErr_InvalidParent = 29,
  PPDErr_InvalidOpenUIType = 31,
  PPDErr_UnsupportedJobNoteFlag = 32,
  PPDErr_NoDefaultValueFlag = 33,
  PPDErr_OpenUIKRTParsing2 = 34,
  PPDErr_NoPostscript = 35,
  PPDErr_BadConstraint = 36,
  PPDErr_SubGroupNameParsing = 37,
};

// The name of a parse error code ("PPDErr_NoParent"), or null for a code that is none of them.
char const* PPDErrName(short code);

class PPDXErrorObj : public CError {
 public:
  PPDXErrorObj(short const& code, CString const& keyword, bool const& fatal);
  PPDXErrorObj(short const& code, bool const& fatal);
  PPDXErrorObj(PPDXErrorObj const&) = default;
  PPDXErrorObj& operator=(PPDXErrorObj const&) = default;
  virtual ~PPDXErrorObj();

  // The keyword the error concerns; null when there is none.
  [[nodiscard]] char const* Keyword() const;

  // The line of the file (counted from 1) that the parser was reading when it found the error;
  // 0 for an error that belongs to no line (one found after the whole file was read).
  [[nodiscard]] long Line() const { return line_; }
  void SetLine(long line) { line_ = line; }

 private:
  CString keyword_;
  long line_ = 0;
};
