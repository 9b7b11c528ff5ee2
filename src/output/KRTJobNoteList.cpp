#include "output/KRTJobNoteList.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"
#include "PPDX/PPDObjects/Controls/PPDXUserAuthLib.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobTicket.h"
#include "platform/Log.h"
#include "platform/PrintSettings.h"
#include "platform/SystemInfo.h"
#include "platform/TextEncoding.h"
#include "security/JobNoteCipher.h"
#include "security/KeyMaterial.h"

namespace {

constexpr char kControlBar[] = "*KRControlBar";
constexpr char kPresetName[] = "*PresetName";
constexpr const char* kUTF8PathNotes[] = {"*KRMailboxName", "*KRVDPFilePath"};

constexpr char kLayoutNUpLine[] = "%%MacCoreNUp: true\n";
constexpr char kPortraitLine[] = "%%Orientation: Portrait\n";
constexpr char kLandscapeLine[] = "%%Orientation: Landscape\n";

struct KeyRow {
  const char* value;  // "*UseSpecialKey" value
  KRTJobNoteList::KeyOffsets offsets;
};
constexpr KeyRow kSpecialKeys[] = {
    {"2", {8, 0}},     {"3", {16, 0}},    {"4", {24, 0}},    {"5", {56, 16}},
    {"6", {88, 32}},   {"7", {120, 48}},  {"8", {152, 0}},   {"9", {160, 0}},
    {"10", {168, 0}},  {"11", {176, 64}}, {"12", {208, 80}},
};

JobNoteOutputState g_output_state;

PPDXJobNote* as_job_note(PPDXControl* control) {
  return control != nullptr && control->Type() == kJobNoteControl
             ? static_cast<PPDXJobNote*>(control)
             : nullptr;
}

// The pieces of one run of outInjectionData, added to the ticket only when all could be made.
class PieceBuffer {
 public:
  void Add(PostScriptInjectionSite site, std::string text) {
    pieces_.push_back({site, std::move(text)});
  }
  void CommitTo(KRTJobTicket& ticket) {
    for (auto& piece : pieces_) ticket.Add(piece.site, piece.data);
  }

 private:
  std::vector<KRTJobTicket::Piece> pieces_;
};

struct TokenFree {
  void operator()(char* token) const { AUTH_freeBuffer(&token); }
};

}  // namespace

JobNoteOutputState& JobNoteOutput() { return g_output_state; }

void ResetJobNoteOutput() { g_output_state = JobNoteOutputState(); }

std::optional<std::string> ConvertTextFromApplicationToUTF8(std::string_view text) {
  return quill::TextEncoding::Convert(text, quill::TextEncoding::ApplicationEncoding(),
                                      quill::kEncodingUTF8);
}

std::string EscapeUserAuthName(std::string_view name) {
  std::string escaped;
  escaped.reserve(name.size() + 4);
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '/' && i + 1 < name.size() && name[i + 1] == ':') {
      escaped += "/:/:";
      ++i;
    } else {
      escaped += name[i];
    }
  }
  return escaped;
}

bool HasControlCharacter(std::string_view text) {
  for (unsigned char byte : text) {
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

KRTJobNoteList::KRTJobNoteList(KRTPPD* ppd, bool useDefaults, int orientation)
    : ppd_(ppd), orientation_(orientation) {
  PPDXControls* controls = ppd_ != nullptr ? ppd_->GetControls() : nullptr;
  if (controls == nullptr) return;

  const char* version = SpecialOptionValue("*KRUTF8_Version");
  utf8Version_ = version != nullptr ? std::atoi(version) : 0;
  Globals().KRUTF8Version = utf8Version_;

  if (utf8Version_ >= 3) {
    const ProcessGlobals& globals = Globals();
    const bool allowed =
        (globals.popupJobNotesDoneInitializing && !globals.popupJobNotesFoundOne) ||
        !JobNoteOutput().popupNoUTF8;
    for (const char* keyword : kUTF8PathNotes) {
      PPDXJobNote* note = as_job_note(controls->FindJobNote(keyword, true));
      if (note == nullptr || note->GetNotes() == nullptr || !allowed) continue;
      if (std::optional<std::string> utf8 = ConvertTextFromApplicationToUTF8(note->GetNotes())) {
        quill::PanelLog("KRTJobNoteList: canbeConv, Keyword() '%s', myString '%s', call SetNotes",
                        keyword, utf8->c_str());
        note->SetNotes(utf8->c_str());
      }
    }
  }

  for (PPDXControl* control = controls->FirstJobNote(); control != nullptr;
       control = controls->NextJobNote()) {
    PPDXJobNote* note = as_job_note(control);
    if (note == nullptr || note->Keyword() == nullptr) continue;
    if (std::strcmp(note->Keyword(), kControlBar) == 0) continue;
    add(new KRTJobNote(note, useDefaults));
  }
  empty_ = Count() == 0;
}

KRTJobNoteList::~KRTJobNoteList() = default;

const char* KRTJobNoteList::SpecialOptionValue(const char* keyword) const {
  PPDXControls* controls = ppd_ != nullptr ? ppd_->GetControls() : nullptr;
  if (controls == nullptr) return nullptr;
  PPDXControl* control = controls->FindSpecialOption(keyword, true);
  if (control == nullptr || control->Type() != kSpecialOptionControl) return nullptr;
  CString* value = static_cast<PPDXSpecialOption*>(control)->GetValue();
  return value != nullptr ? static_cast<const char*>(*value) : nullptr;
}

KRTJobNote* KRTJobNoteList::find(const char* keyword) const {
  if (keyword == nullptr) return nullptr;
  for (LinkElement_Dual* element = First(); element != nullptr; element = element->Next()) {
    auto* note = static_cast<KRTJobNote*>(element);
    if (note->Keyword() == keyword) return note;
  }
  return nullptr;
}

KRTJobNoteList::KeyOffsets KRTJobNoteList::SpecialKeyOffsets(const char* useSpecialKey) {
  if (useSpecialKey != nullptr) {
    for (const KeyRow& row : kSpecialKeys) {
      if (std::strcmp(useSpecialKey, row.value) == 0) return row.offsets;
    }
  }
  return {0, 0};
}

std::optional<std::string> KRTJobNoteList::encryptNote(const KRTJobNote& note,
                                                       std::string_view text,
                                                       std::string* error) const {
  auto fail = [&](std::string why) -> std::optional<std::string> {
    if (error) *error = "job note " + note.Keyword() + ": " + std::move(why);
    return std::nullopt;
  };
  const quill::KeyMaterial& keys = quill::KeyMaterial::Shared();
  if (keys.JobNoteKeys() == nullptr) {
    return fail(std::string("cannot encipher: the job-note keys are not configured in ") +
                quill::KeyMaterial::kKeyFilePath);
  }
  const KeyOffsets offsets = SpecialKeyOffsets(SpecialOptionValue("*UseSpecialKey"));
  const char* algorithm = SpecialOptionValue("*UseSpecialAlgorithm");
  const bool aes = algorithm != nullptr ? std::strcmp(algorithm, "2") == 0
                                        : (note.Note() != nullptr && note.Note()->IsAESEncrypt());
  if (!aes) return quill::JobNoteCipher::DESHex(text, keys.JobNoteKeys() + offsets.key);

  if (keys.JobNoteVectors() == nullptr) {
    return fail(std::string("cannot encipher: the job-note vectors are not configured in ") +
                quill::KeyMaterial::kKeyFilePath);
  }
  // The AES form enciphers the text up to a NUL; one inside would cut what is sent.
  if (text.find('\0') != std::string_view::npos) return fail("the text holds a NUL byte");
  std::string hex = quill::JobNoteCipher::AESHex(text, keys.JobNoteKeys() + offsets.key,
                                                 keys.JobNoteVectors() + offsets.vector);
  if (hex.empty()) {
    return fail("the text is too long to encipher (at most " +
                std::to_string(quill::JobNoteCipher::kAESBufferSize - 12) + " bytes)");
  }
  return hex;
}

int KRTJobNoteList::outInjectionData(KRTJobTicket* ticket, const quill::PrintSettings* settings) {
  error_.clear();
  if (ticket == nullptr) {
    error_ = "no job ticket";
    return kStatusNoTicket;
  }
  int status = kStatusOk;
  try {
    PieceBuffer pieces;

    // The layout: a 2-up or 6-up sheet turns the pages.
    int orientation = orientation_;
    if (settings != nullptr && settings->Contains(kLayoutNUpKey)) {
      const int64_t rows = settings->GetInteger(kLayoutRowsKey).value_or(0);
      const int64_t columns = settings->GetInteger(kLayoutColumnsKey).value_or(0);
      // Out-of-range counts cannot give 2 or 6; compare without multiplying past 64 bits.
      const bool small = rows > 0 && rows <= 6 && columns > 0 && columns <= 6;
      if (small && (rows * columns == 2 || rows * columns == 6)) {
        orientation = (orientation == kPortrait || orientation == kReversePortrait)
                          ? kReverseLandscape
                          : kPortrait;
      }
    }
    pieces.Add(kSiteLayoutHeader, kLayoutNUpLine);
    pieces.Add(kSiteLayoutHeader,
               orientation == kPortrait || orientation == kReversePortrait ? kPortraitLine
                                                                           : kLandscapeLine);

    const ProcessGlobals& globals = Globals();
    const bool convert_marked_utf8 =
        !(utf8Version_ >= 5 && !globals.popupJobNotesLangIsJapanese);
    const char* ldap = SpecialOptionValue("*KRTAuthenticateWithLDAP");
    const bool with_ldap = ldap != nullptr && std::strcmp(ldap, "True") == 0;
    const char* copier = SpecialOptionValue("*CopierUserAuth");
    const bool copier_auth = copier != nullptr && std::strcmp(copier, "True") == 0;
    std::optional<std::string> auth_name;

    auto refuse = [this](const KRTJobNote& note, const std::string& why) {
      error_ = "job note " + note.Keyword() + ": " + why;
      return kStatusRefused;
    };
    auto to_utf8 = [](PPDXJobNote* note) {
      if (note->GetNotes() == nullptr) return;
      if (auto utf8 = ConvertTextFromApplicationToUTF8(note->GetNotes())) {
        note->SetNotes(utf8->c_str());
      }
    };

    for (LinkElement_Dual* element = First(); element != nullptr && status == kStatusOk;
         element = element->Next()) {
      auto& entry = *static_cast<KRTJobNote*>(element);
      PPDXJobNote* note = entry.Note();
      if (note == nullptr) continue;
      short index = -1;
      const bool special = entry.specialKeyword(&index);
      const bool auth_note = index == KRTJobNote::kUserAuthName ||
                             index == KRTJobNote::kUserAuthPassword;
      if (entry.UserData().empty() && !auth_note) continue;
      // Whatever goes on below, the text may end up raw in a line or a string of the job.
      if (HasControlCharacter(entry.UserData())) {
        status = refuse(entry, "the text holds a control character");
        break;
      }
      const bool enciphered = note->IsEncrypt() || note->IsAESEncrypt();
      bool to_feature_block = true;

      if (special) {
        if (note->IsUTF8() && convert_marked_utf8) to_utf8(note);
        const std::string text = entry.UserData();
        const std::string header = KRTJobNote::SpecialHeader(index);
        if (!text.empty() && enciphered && index != KRTJobNote::kUserAuthPassword) {
          std::optional<std::string> hex = encryptNote(entry, text, &error_);
          if (!hex) {
            status = kStatusRefused;
            break;
          }
          pieces.Add(kSiteJobNote, header + *hex + "\n");
        } else if (index == KRTJobNote::kUserAuthName) {
          if (with_ldap) {
            std::string name = EscapeUserAuthName(text);
            note->SetNotes(name.c_str());
            if (name.empty()) {
              if (!JobNoteOutput().userAuthNameInitialised) {
                name = quill::SystemInfo::UserFullName();
              }
            } else if (auto utf8 = ConvertTextFromApplicationToUTF8(name)) {
              name = std::move(*utf8);
            }
            auth_name = std::move(name);
            to_feature_block = copier_auth;
          }
          pieces.Add(kSiteJobNote, std::string());
        } else if (index == KRTJobNote::kUserAuthPassword) {
          if (auth_name) {
            char* raw = nullptr;
            const int rc = AUTH_packAndEncrypt(auth_name->c_str(), text.c_str(), "",
                                               kUALPanelDomainType, 0, &raw);
            std::unique_ptr<char, TokenFree> token(raw);
            if (rc != 0 || token == nullptr) {
              status = refuse(entry,
                              "cannot make the user-authentication token (is the token master "
                              "key configured in " +
                                  std::string(quill::KeyMaterial::kKeyFilePath) + "?)");
              break;
            }
            pieces.Add(kSiteJobNote, header + token.get() + "\n");
          } else {
            pieces.Add(kSiteJobNote, std::string());
          }
          to_feature_block = copier_auth && auth_name.has_value();
        } else {
          pieces.Add(kSiteJobNote, header + text + "\n");
        }
      } else if (note->IsUTF8() || entry.Keyword() == kPresetName) {
        if (convert_marked_utf8) to_utf8(note);
      }
      if (!to_feature_block) continue;

      // The feature block, for notes with PPD code (the password note also without).
      const bool has_code = note->Code() != nullptr && note->CodeLength() > 0;
      if (!has_code && index != KRTJobNote::kUserAuthPassword) continue;
      const std::string plain = entry.UserData();
      if (HasControlCharacter(plain)) {
        status = refuse(entry, "the text holds a control character");
        break;
      }
      bool swapped = false;
      if (enciphered && !plain.empty()) {
        std::optional<std::string> hex = encryptNote(entry, plain, &error_);
        if (!hex) {
          status = kStatusRefused;
          break;
        }
        note->SetNotes(hex->c_str());
        swapped = true;
      }
      const long length = note->PostScript(nullptr);
      if (length > 0) {
        std::string block(static_cast<size_t>(length), '\0');
        note->PostScript(reinterpret_cast<unsigned char*>(block.data()));
        pieces.Add(kSiteFeature, std::move(block));
      }
      if (swapped) note->SetNotes(plain.c_str());
    }
    if (status == kStatusOk) pieces.CommitTo(*ticket);
  } catch (const std::bad_alloc&) {
    error_ = "no memory for a job-note block";
    status = kStatusNoMemory;
  }
  JobNoteOutput().userAuthNameInitialised = false;
  return status;
}
