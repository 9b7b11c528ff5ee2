#include "PPDX/PPDObjects/Controls/PopupItem.h"

#include <cstring>
#include <new>

#include "TextConverter/TextConverter.h"

_PopupItem::_PopupItem(char const* keyword, std::optional<std::string> localizedName,
                       unsigned char* code, long codeLength)
    : localizedName_(std::move(localizedName)),
      code_(code),
      codeLength_(codeLength < 0 || code == nullptr ? 0 : codeLength) {
  if (keyword != nullptr && keyword[0] != '\0') keyword_ = keyword;
}

_PopupItem::~_PopupItem() {
  if (!codeInline_) std::free(code_);
}

_PopupItem* _PopupItem::MakeWithCode(char const* keyword, std::optional<std::string> localizedName,
                                     char const* code, size_t length) {
  if (code == nullptr) length = 0;
  void* block = ::operator new(sizeof(_PopupItem) + length);
  auto* item = ::new (block) _PopupItem(keyword, std::move(localizedName), nullptr, 0);
  if (length > 0) {
    item->code_ = static_cast<unsigned char*>(block) + sizeof(_PopupItem);
    std::memcpy(item->code_, code, length);
    item->codeLength_ = static_cast<long>(length);
    item->codeInline_ = true;
  }
  return item;
}

PopupItemBlock _PopupItem::MakeBlock(std::vector<ParsedPopupItem>& parsed, std::string_view codes,
                                     std::vector<std::unique_ptr<_PopupItem>>& items) {
  if (parsed.empty()) return nullptr;
  constexpr size_t kAlign = alignof(_PopupItem);
  auto rounded = [](size_t size) { return (size + kAlign - 1) / kAlign * kAlign; };
  size_t total = 0;
  for (const ParsedPopupItem& entry : parsed) total += sizeof(_PopupItem) + rounded(entry.codeLength);
  PopupItemBlock block(::operator new(total));
  items.reserve(items.size() + parsed.size());
  auto* at = static_cast<unsigned char*>(block.get());
  for (ParsedPopupItem& entry : parsed) {
    auto* item = ::new (at) _PopupItem(nullptr, std::move(entry.localizedName), nullptr, 0);
    item->keyword_ = std::move(entry.keyword);
    item->inBlock_ = true;
    item->codeInline_ = true;
    if (entry.codeLength > 0) {
      item->code_ = at + sizeof(_PopupItem);
      std::memcpy(item->code_, codes.data() + entry.codeOffset, entry.codeLength);
      item->codeLength_ = static_cast<long>(entry.codeLength);
    }
    items.emplace_back(item);
    at += sizeof(_PopupItem) + rounded(entry.codeLength);
  }
  return block;
}

void _PopupItem::operator delete(_PopupItem* item, std::destroying_delete_t) {
  const bool inBlock = item->inBlock_;
  item->~_PopupItem();
  if (!inBlock) ::operator delete(item);
}

char const* _PopupItem::Keyword() const {
  return keyword_.empty() ? nullptr : keyword_.c_str();
}

bool _PopupItem::HasKeyword(char const* keyword) const {
  char const* own = Keyword();
  return own != nullptr && keyword != nullptr && std::strcmp(own, keyword) == 0;
}

char const* _PopupItem::displayName() {
  if (!localizedName_) return nullptr;
  if (!displayName_) {
    // Four bytes for every byte of the UTF-8 text is room enough in any system encoding.
    const size_t size = localizedName_->size() * 4 + 1;
    displayName_ = std::make_unique<char[]>(size);
    TextConverter::CFStringToCstring(*localizedName_, displayName_.get(), static_cast<long>(size));
  }
  return displayName_.get();
}
