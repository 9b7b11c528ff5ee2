// PPDXControl: the base of every option of the PPD tree. A control is an element with a type, an
// order number, the vendor's control flags (from *%KRTFlags), its PostScript code, and a link to
// the constraint store that it reports its current choice to.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PPDX/PPDObjects/PPDXElement.h"
#include "foundation/CString.h"

class PointerList;
class UIConstraints;

// CNTL_TYPE: the concrete class of a control.
enum CNTL_TYPE : int32_t {
  kBaseControl = 0,
  kJobNoteControl = 1,
  kRangeControl = 2,
  kFloatRangeControl = 3,
  kBooleanControl = 4,
  kPopupControl = 5,
  kSpecialOptionControl = 6,
  kCustomPageSizeControl = 7,
};

// Why a control refuses a value given as text (PPDXControl::CheckValue); 0 when it accepts it.
enum ValueRefusal : int32_t {
  kValueAccepted = 0,
  kValueNotAnOption = 1,       // a popup has no such option (or a profile name is empty)
  kValueNotTrueOrFalse = 2,    // a boolean takes "True" or "False"
  kValueNotANumber = 3,        // a range, float range or custom page size needs numbers
  kValueOutOfRange = 4,        // below the minimum or above the maximum
  kValueOffIncrement = 5,      // a whole-number range value between two steps of its increment
  kValueTooLong = 6,           // a job note longer than its maximum length
  kValueCharacterRefused = 7,  // a job note's flags refuse one of the characters
  kValueNotText = 8,           // not valid UTF-8, or not representable where the text is kept
  kValueServerOption = 9,      // a special option: only the server sets it
  kValueNoControl = 10,        // (flat function) no control or no value was given
};

// The 30 main keywords that never become controls.
extern const char* const kInvalidKeywords[30];

class PPDXControl : public PPDXElement {
 public:
  // Takes the flag strings of `flags` (CString* made with new) and from then on owns them, and
  // takes ownership of `code` (made with malloc; may be null). `codeLength` below 0 counts as 0.
  // `constraints` is not owned and may be null.
  PPDXControl(char const* keyword, std::string localizedName, PointerList& flags,
              unsigned char* code, long codeLength, bool visible, UIConstraints* constraints);
  ~PPDXControl() override = 0;

  [[nodiscard]] CNTL_TYPE Type() const { return type_; }
  // *OrderDependency value; 0 when none.
  [[nodiscard]] short Order() const { return order_; }
  void SetOrder(short order) { order_ = order; }

  // False for null and for the keywords of kInvalidKeywords.
  static bool ValidKeyword(char const* keyword);

  [[nodiscard]] long ControlFlagCount() const { return static_cast<long>(flags_.size()); }
  // Flag iteration in PPD order; null at the end.
  char const* FirstControlFlag();
  char const* NextControlFlag();
  // The flag with exactly this text, or null.
  [[nodiscard]] char const* FindControlFlag(char const* flag) const;

  [[nodiscard]] bool IsDynamic() const { return HasFlag("Dynamic"); }
  [[nodiscard]] bool IsCommand() const { return HasFlag("Command"); }
  [[nodiscard]] bool IsSpooler() const { return HasFlag("Spooler"); }
  [[nodiscard]] bool IsNoQuillDriverUI() const {
    return HasFlag("NoQuillDriverUI") || HasFlag("DriverUserDisplayHidden");
  }
  [[nodiscard]] bool IsSetup() const { return HasFlag("Setup"); }
  [[nodiscard]] bool IsMacQJN() const { return HasFlag("MacQJN"); }
  [[nodiscard]] bool IsMacImgShift() const { return HasFlag("MacIS"); }

  // Copies the control's code into `out` when it is given; returns the code length either way.
  virtual long PostScript(unsigned char* out);
  // The control's code as the PPD gave it (null when none) and its length.
  [[nodiscard]] const unsigned char* Code() const { return code_.get(); }
  [[nodiscard]] long CodeLength() const { return codeLength_; }

  // Report a choice to the constraint store (nothing without one).
  void UpdateKVCache(char const* key, char const* value);
  void UpdateKVCache(long key, long value);
  [[nodiscard]] UIConstraints* Constraints() const { return constraints_; }

  virtual void ResetToDefaultValue() = 0;
  // Saved-settings store of the host; this system keeps none, so it does nothing.
  virtual void Restore(Settings&, int) {}
  // The current value as text (UTF-8); nullopt when the control has none.
  [[nodiscard]] virtual std::optional<std::string> CopyCurrentControlValueString() = 0;
  // Sets the current value from text (UTF-8).
  virtual void SetCurrentControlWithCFString(std::string const& value) = 0;
  // Whether SetCurrentControlWithCFString would take `value` as it stands, so that the control
  // then holds what was asked for: kValueAccepted, or why not. The value is text as the
  // key/value interface, the command line and the panel give it (UTF-8; for a job note its
  // plain text, never the enciphered preset form). On a refusal `why`, when given, receives a
  // phrase that completes "value "<value>" for <keyword> ", such as "is outside 1..9999";
  // it is left alone on acceptance. Each control type answers for itself; nothing changes.
  [[nodiscard]] virtual ValueRefusal CheckValue(std::string const& value, std::string* why) const;
  // CheckValue(value, why) == kValueAccepted.
  [[nodiscard]] bool AcceptsValue(std::string const& value, std::string* why = nullptr) const {
    return CheckValue(value, why) == kValueAccepted;
  }
  // The option that an accepted `value` stands for as the constraint store names options: the
  // value itself unless the control reads it more freely (a boolean's "true" is "True", a
  // colour profile's display text is its item's keyword).
  [[nodiscard]] virtual std::string OptionForValue(std::string const& value) const {
    return value;
  }
  // The value stored in presets and print settings; the current value unless overridden.
  [[nodiscard]] virtual std::optional<std::string> CopyPresetValueString();
  virtual void SetPresetValueString(std::string const& value);
  [[nodiscard]] virtual bool IsInstallableOption() const { return false; }

  // Feature block of this control: "%%BeginFeature: <keyword> <choice>\n", the code (or one line
  // feed when there is none), "%%EndFeature\n"; with `wrap` false only the code (or the line
  // feed). Returns the byte count; with a null `out` it only counts.
  long GeneratePSOutputData(unsigned char* out, const unsigned char* code, long codeLength,
                            char const* choiceText, bool wrap) const;
  // Substitutes `value` for the placeholder "<name>" in `code` (hex-encoding a job note's value,
  // doubling backslashes outside comment code) and returns the length of the result, which `out`
  // receives as a new malloc'd buffer in Mac Roman followed by a NUL (owned by the caller).
  // Returns 0 and sets `out` to null when there is nothing to substitute into or no memory.
  long Inject(char const* name, const unsigned char* code, long codeLength, char const* value,
              unsigned char*& out) const;

 protected:
  void SetType(CNTL_TYPE type) { type_ = type; }
  // Replaces the code (made with malloc; may be null) and its length.
  void SetCode(unsigned char* code, long codeLength);
  [[nodiscard]] bool HasFlag(char const* flag) const { return FindControlFlag(flag) != nullptr; }

 private:
  struct FreeDeleter {
    void operator()(unsigned char* p) const;
  };

  CNTL_TYPE type_ = kBaseControl;
  short order_ = 0;                               // *OrderDependency value
  std::vector<std::unique_ptr<CString>> flags_;  // *%KRTFlags words in PPD order
  size_t flagCursor_ = 0;
  std::unique_ptr<unsigned char, FreeDeleter> code_;
  long codeLength_ = 0;
  UIConstraints* constraints_;  // not owned
};

// When `token` occurs in `text` (made with malloc), returns a new malloc'd string in which its
// every occurrence is replaced by "\050" (token "(") or "\051" (any other token), and frees
// `text`; otherwise returns `text` unchanged. Null arguments give `text` back.
char* replaceWithBackslashIfNeeded(char const* token, char* text);

// Flat functions over an untyped control; a null control gives false, 0 or null.
extern "C" {
long GetControlFlagCount(void* control);
char const* GetFirstControlFlag(void* control);
char const* GetNextControlFlag(void* control);
bool IsCommandControl(void* control);
bool IsSpoolerControl(void* control);
bool IsNoQuillDriverUIControl(void* control);
bool IsSetupControl(void* control);
bool IsMacQJNControl(void* control);
bool IsMacImgShiftControl(void* control);
long GetPostScript(void* control, unsigned char* out);
bool IsValidControlKeyword(void* control, char const* keyword);
void ResetControlToDefault(void* control);
// The control's CheckValue of the NUL-terminated UTF-8 `value`: true when it accepts it.
// Otherwise false, with *refusal (when given) the reason, and `why` (when given with a size of
// at least 1) the phrase, cut to whySize - 1 bytes and NUL-terminated. A null control or value,
// or no memory for the answer, gives false and kValueNoControl.
bool ControlAcceptsValue(void* control, char const* value, int32_t* refusal, char* why,
                         long whySize);
}

// Sets *why to `phrase` when why is given, and returns `refusal`: for CheckValue overrides.
ValueRefusal RefuseValue(ValueRefusal refusal, std::string* why, std::string phrase);
