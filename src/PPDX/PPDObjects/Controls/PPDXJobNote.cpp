#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "PPDX/PPDObjects/Controls/JobNoteCharacterRule.h"
#include "foundation/ProcessGlobals.h"
#include "foundation/UTF8.h"
#include "platform/Log.h"
#include "platform/TextEncoding.h"
#include "security/KRCFCrypto.h"

namespace {

// Pass phrase of the cipher that keeps note texts in presets and print settings.
constexpr std::string_view kPresetPassPhrase = "7C3E91A4-5D2B-4E8F-9A06-B1F3C8D2E57A";

// Notes whose preset value is the plain text: the colour-management values that the
// job-properties module and the automation presets exchange as they are.
constexpr const char* kPlainPresetKeywords[] = {"*KRSimulation",   "*KROutProfile",
                                                "*KRRGBOverride",  "*KRControlBar",
                                                "*KRSpotPriority", "*KRGrayOverride"};

// The comment line of a note without PPD code, by the first row that matches.
struct CommentRule {
  JobNoteFlag flag;     // the row matches a note with this flag, or
  char const* keyword;  // with exactly this keyword
  char const* prefix;
};
constexpr CommentRule kCommentRules[] = {
    {kJobNoteResume, nullptr, "%%PersPassword: "},
    {kJobNoteMember, nullptr, "%%DeptPassword: "},
    {0, "*Notes1", "%%KRTCustom1: "},
    {0, "*Notes2", "%%KRTCustom2: "},
    {0, "*Instruc", "%%KRTCustom3: "},
};
constexpr std::string_view kEmptyOption = "%%EmptyOption\n\n";

bool matches(CommentRule const& rule, JobNoteFlag flags, char const* keyword) {
  if (rule.flag != 0) return (flags & rule.flag) != 0;
  return keyword != nullptr && std::strcmp(keyword, rule.keyword) == 0;
}

}  // namespace

PPDXJobNote::PPDXJobNote(char const* keyword, std::string localizedName, PointerList& controlFlags,
                         unsigned char* code, long codeLength, CString* notes,
                         CString* /*language*/, bool visible, long maxLength,
                         JobNoteFlag const& flags, long minLength)
    : PPDXControl(keyword, std::move(localizedName), controlFlags, code, codeLength, visible,
                  nullptr),
      notes_(notes),
      maxLength_(maxLength),
      minLength_(minLength),
      flags_(flags) {
  SetType(kJobNoteControl);
  if (notes_ != nullptr) {
    defaultNotes_ = std::make_unique<CString>(*notes_);
    if (char const* text = *notes_) {
      notesString_ = quill::TextEncoding::Convert(text, quill::TextEncoding::SystemEncoding(),
                                                  quill::kEncodingUTF8);
    }
  }
}

PPDXJobNote::~PPDXJobNote() = default;

bool PPDXJobNote::OkayToDisplay(_DISPLAY_OPTIONS_ const& options) const {
  if (options == 0 || options == kDisplayOrphans) return IsVisible();
  return true;
}

// The casts matter: without them the conditional would build a temporary CString from nullptr
// and hand out its buffer.
char const* PPDXJobNote::GetNotes() const {
  return notes_ ? static_cast<char const*>(*notes_) : nullptr;
}

char const* PPDXJobNote::GetDefaultNotes() const {
  return defaultNotes_ ? static_cast<char const*>(*defaultNotes_) : nullptr;
}

void PPDXJobNote::SetNotes(char const* text) {
  DropPostScript();
  if (notes_ == nullptr) {
    notes_ = std::make_unique<CString>(text);
  } else {
    *notes_ = text;
  }
}

void PPDXJobNote::SetUTF8Notes(std::string const& utf8) {
  // The cached code would still carry the old text, so it goes like it does for SetNotes.
  SetNotes(utf8.c_str());
}

void PPDXJobNote::SetDefaultNotes(char const* text) {
  if (defaultNotes_ == nullptr) {
    defaultNotes_ = std::make_unique<CString>(text);
  } else {
    *defaultNotes_ = text;
  }
}

std::optional<std::string> PPDXJobNote::CopyNotes() const {
  char const* text = GetNotes();
  if (text == nullptr) return std::string();
  ProcessGlobals const& globals = Globals();
  if (globals.popupJobNotesLangIsJapanese) {
    return quill::TextEncoding::Convert(text, quill::kEncodingShiftJIS, quill::kEncodingUTF8);
  }
  if (globals.KRUTF8Version < 5) {
    return quill::TextEncoding::Convert(text, quill::TextEncoding::SystemEncoding(),
                                        quill::kEncodingUTF8);
  }
  if (!quill::TextEncoding::IsValidUTF8(text)) return std::nullopt;
  return std::string(text);
}

void PPDXJobNote::SetCurrentControlWithCFString(std::string const& value) {
  notesString_ = value;
  DropPostScript();
  if (notes_ == nullptr) notes_ = std::make_unique<CString>();
  *notes_ = value;
}

ValueRefusal PPDXJobNote::CheckValue(std::string const& value, std::string* why) const {
  if (!quill::TextEncoding::IsValidUTF8(value)) {
    return RefuseValue(kValueNotText, why, "is not UTF-8 text");
  }
  const std::vector<char32_t> characters = DecodeUTF8(value);
  // Whatever the flags allow, a control character could end the note's line or string in the job.
  for (char32_t c : characters) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      return RefuseValue(kValueCharacterRefused, why,
                         "has a control character, which no job note takes");
    }
  }
  if (maxLength_ > 0 && characters.size() > static_cast<size_t>(maxLength_)) {
    return RefuseValue(kValueTooLong, why,
                       "is longer than " + std::to_string(maxLength_) + " characters");
  }
  for (char32_t c : characters) {
    if (!JobNoteAcceptsCharacter(flags_, c)) {
      std::string shown;
      AppendUTF8(shown, c);
      return RefuseValue(kValueCharacterRefused, why,
                         "has the character \"" + shown + "\", which the note refuses");
    }
  }
  // The setter keeps the text in an 8-bit encoding and would keep "" for text it cannot hold.
  ProcessGlobals const& globals = Globals();
  const quill::TextEncodingId kept_in = CString::EncodingForDisplayText(
      globals.KRUTF8Version, globals.popupJobNotesLangIsJapanese, globals.documentServer,
      quill::TextEncoding::ApplicationEncoding());
  if (!quill::TextEncoding::Convert(value, quill::kEncodingUTF8, kept_in)) {
    return RefuseValue(kValueNotText, why, "has characters the note's text encoding cannot hold");
  }
  return kValueAccepted;
}

bool PPDXJobNote::IsPlainPresetKeyword() const {
  char const* keyword = Keyword();
  if (keyword == nullptr) return false;
  for (char const* plain : kPlainPresetKeywords) {
    if (std::strcmp(keyword, plain) == 0) return true;
  }
  return false;
}

std::optional<std::string> PPDXJobNote::CopyPresetValueString() {
  if (!notesString_) return std::nullopt;
  // These keywords are read back as plain text (SetPresetValueString); writing them enciphered
  // would bring the cipher text back as the note's value.
  if (IsPlainPresetKeyword()) return notesString_;
  return KRCFCreateEncryptedString(*notesString_, kPresetPassPhrase);
}

void PPDXJobNote::SetPresetValueString(std::string const& value) {
  if (IsPlainPresetKeyword()) {
    SetCurrentControlWithCFString(value);
    return;
  }
  if (std::optional<std::string> plain = KRCFCreateDecryptedString(value, kPresetPassPhrase)) {
    SetCurrentControlWithCFString(*plain);
  }
}

void PPDXJobNote::ResetToDefaultValue() {
  ProcessGlobals const& globals = Globals();
  const bool popup_notes_absent =
      globals.popupJobNotesDoneInitializing && !globals.popupJobNotesFoundOne;
  if (!popup_notes_absent && globals.popupJobNotesDefaultsButton && IsPopupJN()) {
    SetDefaultNotes("");
  }
  SetNotes(GetDefaultNotes());
}

bool PPDXJobNote::IsPopupJN() const {
  if (!Has(kJobNotePopupJN)) return false;
  ProcessGlobals& globals = Globals();
  if (!globals.popupJobNotesFoundOne) {
    globals.popupJobNotesFoundOne = true;
    quill::PanelLog("At least one PUJN found !!!!!!!!");
  }
  return true;
}

void PPDXJobNote::BuildPDLString(char const* text) {
  const std::string_view value = text ? text : "";
  std::string result;
  for (CommentRule const& rule : kCommentRules) {
    if (matches(rule, flags_, Keyword())) {
      result.append(rule.prefix).append(value).append("\n");
      break;
    }
  }
  if (result.empty()) result = kEmptyOption;
  postScript_ = std::move(result);
}

long PPDXJobNote::PostScript(unsigned char* buffer) {
  char const* notes = GetNotes();
  if (notes == nullptr || Keyword() == nullptr) return 0;

  // Work on a copy: building the code must not depend on the note's own buffer.
  const std::string whole(notes);
  if (!postScript_) {
    const std::string text = whole.substr(0, kMaxPostScriptText);
    if (Code() != nullptr && PPDXControl::PostScript(nullptr) > 0) {
      unsigned char* injected = nullptr;
      const long length = Inject(Keyword(), Code(), CodeLength(), text.c_str(), injected);
      if (injected != nullptr) {
        postScript_.emplace(reinterpret_cast<char const*>(injected), static_cast<size_t>(length));
        std::free(injected);
      }
    } else {
      BuildPDLString(text.c_str());
    }
  }

  const unsigned char* code =
      postScript_ ? reinterpret_cast<const unsigned char*>(postScript_->data()) : nullptr;
  const long length = postScript_ ? static_cast<long>(postScript_->size()) : 0;
  return GeneratePSOutputData(buffer, code, length, whole.c_str(), true);
}

namespace {

PPDXJobNote* as_note(void* control) {
  auto* as_control = static_cast<PPDXControl*>(control);
  if (as_control == nullptr || as_control->Type() != kJobNoteControl) return nullptr;
  return static_cast<PPDXJobNote*>(as_control);
}

bool note_flag(void* control, bool (PPDXJobNote::*accessor)() const) {
  PPDXJobNote* note = as_note(control);
  return note != nullptr && (note->*accessor)();
}

}  // namespace

extern "C" {

bool IsJobNoteControl(void* control) { return as_note(control) != nullptr; }

char const* GetJobNoteNotes(void* note) {
  PPDXJobNote* n = as_note(note);
  return n ? n->GetNotes() : nullptr;
}

char const* GetJobNoteDefaultNotes(void* note) {
  PPDXJobNote* n = as_note(note);
  return n ? n->GetDefaultNotes() : nullptr;
}

void SetJobNoteNotes(void* note, char const* text) {
  if (PPDXJobNote* n = as_note(note)) n->SetNotes(text);
}

void SetJobNoteUTF8Notes(void* note, char const* utf8) {
  PPDXJobNote* n = as_note(note);
  if (n != nullptr && utf8 != nullptr) n->SetUTF8Notes(utf8);
}

void SetJobNoteDefaultNotes(void* note, char const* text) {
  if (PPDXJobNote* n = as_note(note)) n->SetDefaultNotes(text);
}

char* CopyJobNoteNotes(void* note) {
  PPDXJobNote* n = as_note(note);
  if (n == nullptr) return nullptr;
  std::optional<std::string> text = n->CopyNotes();
  if (!text) return nullptr;
  char* copy = static_cast<char*>(std::malloc(text->size() + 1));
  if (copy != nullptr) std::memcpy(copy, text->c_str(), text->size() + 1);
  return copy;
}

bool GetJobNoteNotesOn(void* note) { return note_flag(note, &PPDXJobNote::GetNotesOnValue); }

void SetJobNoteNotesOn(void* note, bool on) {
  if (PPDXJobNote* n = as_note(note)) n->SetNotesOnValue(on);
}

long GetJobNoteMaxLength(void* note) {
  PPDXJobNote* n = as_note(note);
  return n ? n->MaxLength() : 0;
}

long GetJobNoteMinLength(void* note) {
  PPDXJobNote* n = as_note(note);
  return n ? n->MinLength() : 0;
}

uint32_t GetJobNoteFlags(void* note) {
  PPDXJobNote* n = as_note(note);
  return n ? n->Flags() : 0;
}

bool IsJobNoteAlpha(void* note) { return note_flag(note, &PPDXJobNote::IsAlpha); }
bool IsJobNoteNumeric(void* note) { return note_flag(note, &PPDXJobNote::IsNumeric); }
bool IsJobNoteDecimal(void* note) { return note_flag(note, &PPDXJobNote::IsDecimal); }
bool IsJobNoteRequired(void* note) { return note_flag(note, &PPDXJobNote::IsRequired); }
bool IsJobNoteRemembered(void* note) { return note_flag(note, &PPDXJobNote::Remember); }
bool IsJobNotePassword(void* note) { return note_flag(note, &PPDXJobNote::IsPassword); }
bool IsJobNoteAlwaysDisplay(void* note) { return note_flag(note, &PPDXJobNote::AlwaysDisplay); }
bool IsJobNoteResume(void* note) { return note_flag(note, &PPDXJobNote::Resume); }
bool IsJobNoteMember(void* note) { return note_flag(note, &PPDXJobNote::IsMember); }
bool IsJobNoteOnOffSwitch(void* note) { return note_flag(note, &PPDXJobNote::IsOnOffSwitch); }
bool IsJobNoteLengthReq(void* note) { return note_flag(note, &PPDXJobNote::IsLengthReq); }
bool IsJobNoteSecPrint(void* note) { return note_flag(note, &PPDXJobNote::IsSecPrint); }
bool IsJobNoteSpace(void* note) { return note_flag(note, &PPDXJobNote::IsSpace); }
bool IsJobNoteNegative(void* note) { return note_flag(note, &PPDXJobNote::IsNegative); }
bool IsJobNoteEncrypt(void* note) { return note_flag(note, &PPDXJobNote::IsEncrypt); }
bool IsJobNoteMultiSpace(void* note) { return note_flag(note, &PPDXJobNote::IsMultiSpace); }
bool IsJobNoteMultiComma(void* note) { return note_flag(note, &PPDXJobNote::IsMultiComma); }
bool IsJobNoteLCD(void* note) { return note_flag(note, &PPDXJobNote::IsLCD); }
bool IsJobNoteHyphen(void* note) { return note_flag(note, &PPDXJobNote::IsHyphen); }
bool IsJobNoteTwoCharFields(void* note) { return note_flag(note, &PPDXJobNote::IsTwoCharFields); }
bool IsJobNoteNoComma(void* note) { return note_flag(note, &PPDXJobNote::IsNoComma); }
bool IsJobNoteUTF8(void* note) { return note_flag(note, &PPDXJobNote::IsUTF8); }
bool IsJobNoteAESEncrypt(void* note) { return note_flag(note, &PPDXJobNote::IsAESEncrypt); }
bool IsJobNotePopupJN(void* note) { return note_flag(note, &PPDXJobNote::IsPopupJN); }
bool IsJobNoteAnyText(void* note) { return note_flag(note, &PPDXJobNote::IsAnyText); }

}  // extern "C"
