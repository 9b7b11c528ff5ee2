#include "PPDX/PPDXErrorObj.h"

#include <iterator>

namespace {

struct ErrorName {
  short code;
  char const* name;
};

constexpr ErrorName kErrorNames[] = {
    {PPDErr_OutOfMemory, "PPDErr_OutOfMemory"},
    {PPDErr_PropPageParsing, "PPDErr_PropPageParsing"},
    {PPDErr_GroupParsing, "PPDErr_GroupParsing"},
    {PPDErr_JobNoteParsing, "PPDErr_JobNoteParsing"},
    {PPDErr_RangeParsing, "PPDErr_RangeParsing"},
    {PPDErr_OpenUIParsing, "PPDErr_OpenUIParsing"},
    {PPDErr_BooleanParsing, "PPDErr_BooleanParsing"},
    {PPDErr_OpenUIKRTParsing1, "PPDErr_OpenUIKRTParsing1"},
    {PPDErr_PopupParsing, "PPDErr_PopupParsing"},
    {PPDErr_GroupNameParsing, "PPDErr_GroupNameParsing"},
    {PPDErr_ParentParsingNoParent, "PPDErr_ParentParsingNoParent"},
    {PPDErr_ParentParsing, "PPDErr_ParentParsing"},
    {PPDErr_ControlParsing, "PPDErr_ControlParsing"},
    {PPDErr_FileError, "PPDErr_FileError"},
    {PPDErr_BadShortcut, "PPDErr_BadShortcut"},
    {PPDErr_NoParent, "PPDErr_NoParent"},
    {PPDErr_Duplicate, "PPDErr_Duplicate"},
    {PPDErr_NoPropertyPages, "PPDErr_NoPropertyPages"},
    {PPDErr_NoGroups, "PPDErr_NoGroups"},
    {PPDErr_NoControls, "PPDErr_NoControls"},
    {PPDErr_NotPPDFile, "PPDErr_NotPPDFile"},
    {PPDErr_InvalidParent, "PPDErr_InvalidParent"},
    {PPDErr_InvalidOpenUIType, "PPDErr_InvalidOpenUIType"},
    {PPDErr_UnsupportedJobNoteFlag, "PPDErr_UnsupportedJobNoteFlag"},
    {PPDErr_NoDefaultValueFlag, "PPDErr_NoDefaultValueFlag"},
    {PPDErr_OpenUIKRTParsing2, "PPDErr_OpenUIKRTParsing2"},
    {PPDErr_NoPostscript, "PPDErr_NoPostscript"},
    {PPDErr_BadConstraint, "PPDErr_BadConstraint"},
    {PPDErr_SubGroupNameParsing, "PPDErr_SubGroupNameParsing"},
};

}  // namespace

char const* PPDErrName(short code) {
  for (const auto& entry : kErrorNames) {
    if (entry.code == code) return entry.name;
  }
  return nullptr;
}

PPDXErrorObj::PPDXErrorObj(short const& code, CString const& keyword, bool const& fatal)
    : CError(code, CString(), fatal), keyword_(keyword) {}

PPDXErrorObj::PPDXErrorObj(short const& code, bool const& fatal)
    : CError(code, CString(), fatal) {}

PPDXErrorObj::~PPDXErrorObj() = default;

char const* PPDXErrorObj::Keyword() const {
  return keyword_.Empty() ? nullptr : static_cast<char const*>(keyword_);
}
