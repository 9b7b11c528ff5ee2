#include "PPDX/PPDObjects/Controls/PPDXControl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "constraints/UIConstraints.h"
#include "foundation/PointerList.h"

const char* const kInvalidKeywords[30] = {
    "*KRToneSmith",
    "*KR_PROP_COLORMODE",
    "*KR_PROP_TS_PURE_BLACK",
    "*KR_PROP_TS_OVER_PRINT",
    "*KR_PROP_TS_RGB_SEPARATION",
    "*KR_PROP_TS_SOURCE_PROFILES",
    "*KR_PROP_TS_SIMULATION",
    "*KR_PROP_TS_SPOTCOLORS",
    "*KR_PROP_TS_OUTPUT_PROFILE",
    "*KR_PROP_TS_SIM_SPEED",
    "*KR_PROP_TS_COLOR_SMART",
    "*KR_PROP_TS_GAMMA",
    "*KR_PROP_TS_WHITEPOINT",
    "*KR_PROP_TS_PHOSPHORS",
    "*KR_PROP_TS_CRD",
    "*KR_PROP_TS_CRD_IMAGES",
    "*KR_PROP_TS_CRD_GRAPHICS",
    "*KR_PROP_TS_CRD_TEXT",
    "*KR_PROP_TS_CRD_IMAGES_HT",
    "*KR_PROP_TS_CRD_GRAPHICS_HT",
    "*KR_PROP_TS_CRD_TEXT_HT",
    "*KR_LOCAL_PROP_FIRSTPAGESOURCE",
    "*KR_LOCAL_PROP_FIRSTPAGEMEDIA",
    "*KR_LOCAL_PROP_BACKPAGESOURCE",
    "*KR_LOCAL_PROP_BACKPAGEMEDIA",
    "*KR_PROP_WATERMARK_FIRSTPAGEONLY",
    "*KR_PROP_WATERMARK_FOREGROUND",
    "*KR_PROP_WATERMARK_OUTLINE",
    "*KR_PROP_WATERMARK",
    "*KR_PROP_LOCAL_KRLANDSCAPE",
};

void PPDXControl::FreeDeleter::operator()(unsigned char* p) const { std::free(p); }

PPDXControl::PPDXControl(char const* keyword, std::string localizedName, PointerList& flags,
                         unsigned char* code, long codeLength, bool visible,
                         UIConstraints* constraints)
    : PPDXElement(keyword, std::move(localizedName), visible),
      code_(code),
      codeLength_(codeLength < 0 ? 0 : codeLength),
      constraints_(constraints) {
  for (void* flag : flags) {
    if (flag != nullptr) flags_.emplace_back(static_cast<CString*>(flag));
  }
}

PPDXControl::~PPDXControl() = default;

bool PPDXControl::ValidKeyword(char const* keyword) {
  if (keyword == nullptr) return false;
  for (const char* invalid : kInvalidKeywords) {
    if (std::strcmp(keyword, invalid) == 0) return false;
  }
  return true;
}

char const* PPDXControl::FirstControlFlag() {
  flagCursor_ = 0;
  return flags_.empty() ? nullptr : static_cast<char const*>(*flags_[0]);
}

char const* PPDXControl::NextControlFlag() {
  if (flagCursor_ < flags_.size()) ++flagCursor_;
  return flagCursor_ < flags_.size() ? static_cast<char const*>(*flags_[flagCursor_]) : nullptr;
}

char const* PPDXControl::FindControlFlag(char const* flag) const {
  if (flag == nullptr) return nullptr;
  for (const auto& held : flags_) {
    char const* text = *held;
    if (text != nullptr && std::strcmp(text, flag) == 0) return text;
  }
  return nullptr;
}

long PPDXControl::PostScript(unsigned char* out) {
  if (out != nullptr && code_ != nullptr && codeLength_ > 0) {
    std::memcpy(out, code_.get(), static_cast<size_t>(codeLength_));
  }
  return codeLength_;
}

void PPDXControl::SetCode(unsigned char* code, long codeLength) {
  code_.reset(code);
  codeLength_ = codeLength < 0 ? 0 : codeLength;
}

void PPDXControl::UpdateKVCache(char const* key, char const* value) {
  if (constraints_ != nullptr) constraints_->UpdateKVCache(key, value);
}

void PPDXControl::UpdateKVCache(long key, long value) {
  if (constraints_ != nullptr) constraints_->UpdateKVCache(key, value);
}

std::optional<std::string> PPDXControl::CopyPresetValueString() {
  return CopyCurrentControlValueString();
}

void PPDXControl::SetPresetValueString(std::string const& value) {
  SetCurrentControlWithCFString(value);
}

ValueRefusal PPDXControl::CheckValue(std::string const& /*value*/, std::string* /*why*/) const {
  return kValueAccepted;
}

ValueRefusal RefuseValue(ValueRefusal refusal, std::string* why, std::string phrase) {
  if (why != nullptr) *why = std::move(phrase);
  return refusal;
}

namespace {
PPDXControl* as_control(void* control) { return static_cast<PPDXControl*>(control); }

void copy_phrase(const std::string& phrase, char* out, long size) {
  if (out == nullptr || size < 1) return;
  const size_t keep = std::min(phrase.size(), static_cast<size_t>(size) - 1);
  std::memcpy(out, phrase.data(), keep);
  out[keep] = '\0';
}
}  // namespace

extern "C" {

long GetControlFlagCount(void* control) {
  return control ? as_control(control)->ControlFlagCount() : 0;
}
char const* GetFirstControlFlag(void* control) {
  return control ? as_control(control)->FirstControlFlag() : nullptr;
}
char const* GetNextControlFlag(void* control) {
  return control ? as_control(control)->NextControlFlag() : nullptr;
}
bool IsCommandControl(void* control) { return control && as_control(control)->IsCommand(); }
bool IsSpoolerControl(void* control) { return control && as_control(control)->IsSpooler(); }
bool IsNoQuillDriverUIControl(void* control) {
  return control && as_control(control)->IsNoQuillDriverUI();
}
bool IsSetupControl(void* control) { return control && as_control(control)->IsSetup(); }
bool IsMacQJNControl(void* control) { return control && as_control(control)->IsMacQJN(); }
bool IsMacImgShiftControl(void* control) {
  return control && as_control(control)->IsMacImgShift();
}
long GetPostScript(void* control, unsigned char* out) {
  return control ? as_control(control)->PostScript(out) : 0;
}
bool IsValidControlKeyword(void* control, char const* keyword) {
  return control && PPDXControl::ValidKeyword(keyword);
}
void ResetControlToDefault(void* control) {
  if (control) as_control(control)->ResetToDefaultValue();
}
bool ControlAcceptsValue(void* control, char const* value, int32_t* refusal, char* why,
                         long whySize) {
  ValueRefusal answer = kValueNoControl;
  std::string phrase = "no control or no value";
  try {
    if (control != nullptr && value != nullptr) {
      phrase.clear();
      answer = as_control(control)->CheckValue(value, &phrase);
    }
  } catch (const std::bad_alloc&) {
    answer = kValueNoControl;
    phrase.clear();
  }
  if (refusal != nullptr) *refusal = answer;
  if (answer != kValueAccepted) copy_phrase(phrase, why, whySize);
  return answer == kValueAccepted;
}

}  // extern "C"
