#include "panel/PDEDataAddressStore.h"

#include "panel/PDEData.h"

namespace quill {

std::optional<std::string> PDEDataAddressStore::GetMeridiaPrinterAddress(bool* ipEnabled) {
  return data_.GetMeridiaPrinterAddress(ipEnabled);
}

bool PDEDataAddressStore::SetMeridiaPrinterAddress(std::string_view address, bool ipEnabled) {
  return data_.SetMeridiaPrinterAddress(address, ipEnabled);
}

}  // namespace quill
