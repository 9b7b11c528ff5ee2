// PDEDataAddressStore: the session data as the printer-address controller's store, so that the
// address area reads and writes the queue's record of the printer preference list.
#pragma once

#include "connection/BonjourModuleController.h"

class PDEData;

namespace quill {

class PDEDataAddressStore : public AddressStore {
 public:
  // `data` (not owned) must outlive the store.
  explicit PDEDataAddressStore(PDEData& data) : data_(data) {}
  std::optional<std::string> GetMeridiaPrinterAddress(bool* ipEnabled) override;
  bool SetMeridiaPrinterAddress(std::string_view address, bool ipEnabled) override;

 private:
  PDEData& data_;
};

}  // namespace quill
