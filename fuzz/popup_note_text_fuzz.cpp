// Feeds arbitrary text and limits to the account prompt's text cut: the result is always a
// prefix of the text, valid UTF-8, within both limits, and never shorter than needed (the next
// character would break a limit or is not a character).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/UTF8.h"
#include "panel/PopupJobNoteWindow.h"
#include "platform/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::size_t characters = data[0] % 20;
  const std::size_t bytes = data[1] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string cut = quill::PopupJobNoteWindow::CutText(text, characters, bytes);
  if (text.substr(0, cut.size()) != cut) std::abort();
  if (cut.size() > bytes) std::abort();
  if (!quill::TextEncoding::IsValidUTF8(cut)) std::abort();
  const std::size_t count = DecodeUTF8(cut).size();
  if (characters > 0 && count > characters) std::abort();
  if (cut.size() < text.size() && (characters == 0 || count < characters)) {
    // Something stopped the cut: the next character does not fit or is none.
    const std::string longer = quill::PopupJobNoteWindow::CutText(text, count + 1, text.size());
    if (longer.size() > cut.size() && longer.size() <= bytes) std::abort();
  }
  return 0;
}
