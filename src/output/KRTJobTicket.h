// KRTJobTicket: the pieces of PostScript and comment text that a print puts into the job, each
// tagged with its injection site, in the order they were added. The spooler-side filter reads the
// ticket and puts each piece where its site says.
//
// Stored form: an XML property list whose root array holds pairs in order: the site as an
// integer, then the piece's bytes as data (no terminating zero). The ticket's path goes into the
// print settings under the ticket key (CreatePostscriptDataFileKey). From system version 10.7 on
// the ticket is not written by the panel: the filter writes it on two command jobs
// ("Command_PSTempFileName" with the path, "Command_WritePSTemp" with the XML); before 10.7 the
// panel writes it under "/tmp" itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/PostScriptInjectionSite.h"
#include "output/PrintSettingsTicket.h"

class KRTPPD;
class PPDXControl;
namespace quill {
class Printer;
}

// The panel's kind identifier; the ticket key is "KRT.PSData." followed by it.
inline constexpr char kQuillPanelKind[] = "org.quill.print.QuillFeaturesPDE";

// A new string: "KRT.PSData." followed by the panel's kind identifier.
[[nodiscard]] std::string CreatePostscriptDataFileKey();

class KRTJobTicket : public JobTicket {
 public:
  // A piece of the ticket.
  struct Piece {
    PostScriptInjectionSite site;
    std::string data;

    friend bool operator==(const Piece&, const Piece&) = default;
  };

  // A control whose feature block is this long or longer is left out by Add.
  static constexpr long kMaxControlPostScript = 1025;
  // The ticket file's name begins with these (system paths, resolved under Paths' root for the
  // files this system writes itself).
  static constexpr char kTicketPrefix[] = "/Library/Caches/KRT/Quill.temp";
  static constexpr char kOldTicketPrefix[] = "/tmp/Quill.temp";
  // Longest ticket path, in bytes; CreateRandomFileName writes at most kMaxPath + 1 bytes.
  static constexpr size_t kMaxPath = 255;

  // Keeps the settings ticket (not owned; may be null), copies the key and starts an empty list.
  // The session is null; `settings` (not owned; may be null) receives the ticket key on Save.
  KRTJobTicket(PrintSettingsTicket* settingsTicket, quill::PrintSettings* settings,
               std::string key);
  ~KRTJobTicket() override;

  // Gives the ticket a new empty injection list (pieces added before are dropped).
  void Create();
  // Drops the injection list: Save then does nothing. Used when filling the ticket failed, so
  // that no half ticket is ever stored.
  void Discard();

  // Adds the control's feature block (its PostScript) under `site`, or under kSitePageSize when
  // the control's keyword is "*PageSize". A block of kMaxControlPostScript bytes or more, an empty
  // one, or a null control adds nothing. Returns whether a piece was added.
  bool Add(PostScriptInjectionSite site, PPDXControl* control);
  // Appends `length` bytes at `bytes` under `site` (an empty piece for null bytes). Nothing
  // without an injection list.
  void Add(PostScriptInjectionSite site, const char* bytes, size_t length);
  void Add(PostScriptInjectionSite site, std::string_view text) {
    Add(site, text.data(), text.size());
  }

  // The pieces in order; null without an injection list.
  [[nodiscard]] const std::vector<Piece>* Pieces() const {
    return list_ ? &*list_ : nullptr;
  }
  // The number of pieces (0 without a list), and dropping every piece from position `count` on:
  // a writer that fails part way takes its pieces back out with them.
  [[nodiscard]] size_t Count() const { return list_ ? list_->size() : 0; }
  void Truncate(size_t count);

  // Every option value of the PPD (KRTPPD::CopyAllValues) into the print settings through the
  // settings ticket's Set (nothing without a settings ticket or PPD). `key` is not used.
  void SavePPDForAllKeys(KRTPPD* ppd, const std::string& key);

  // Serialises the list to the stored form, keeps it (XMLData), makes the ticket path and writes
  // it into the print settings under the key. Before 10.7 also writes the file (mode 0644, a new
  // file that must not exist yet) and sets the path as the file name. Returns the XML data; null
  // without a list, or when serialising or writing failed, with the reason in *error (when given)
  // and nothing written into the print settings.
  const std::string* Save(std::string* error = nullptr);

  // Saves the ticket and, from 10.7 on, hands it to the filter of `printer`: the command
  // "Command_PSTempFileName" with the file name, then "Command_WritePSTemp" with the XML. False,
  // with a one-line reason in *error, when saving failed, there is no printer, or a command was
  // refused: the print must then stop, since the job would go out without its ticket.
  bool HandToFilter(const quill::Printer* printer, std::string* error = nullptr);

  // "%s%s" of `prefix` (nothing when null) and a new UUID; when `out` is given also writes it
  // there, cut to kMaxPath bytes, NUL-terminated (at most kMaxPath + 1 bytes).
  static std::string CreateRandomFileName(const char* prefix, char* out);

  // The ticket path made by the last Save ("" before).
  [[nodiscard]] const std::string& FileName() const { return fileName_; }
  // The XML of the last Save (null before).
  [[nodiscard]] const std::string* XMLData() const { return xml_ ? &*xml_ : nullptr; }
  [[nodiscard]] const std::string& Key() const { return key_; }

  // Writes one text entry into the print settings; nothing without settings.
  void InjectTempFileToPSStream(const std::string& key, const std::string& value);

  // The stored form of `pieces`: the XML property list text; nullopt when libplist fails.
  [[nodiscard]] static std::optional<std::string> Serialise(const std::vector<Piece>& pieces);
  // The same into `out` (its memory reused); false, `out` unchanged, when libplist fails.
  static bool SerialiseInto(const std::vector<Piece>& pieces, std::string& out);
  // Reads the stored form back; nullopt when `xml` is not a property list of that form (root
  // array of site/data pairs, sites within 32 bits).
  [[nodiscard]] static std::optional<std::vector<Piece>> Parse(std::string_view xml);

 private:
  PrintSettingsTicket* settingsTicket_;  // not owned
  std::string key_;
  std::optional<std::vector<Piece>> list_;
  std::string fileName_;
  std::optional<std::string> xml_;
};
