// PrintSettingsTicket: the ticket through which option values reach the print settings
// (JobTicket::Set); it adds nothing to its base.
#pragma once

#include "output/JobTicket.h"

class PrintSettingsTicket : public JobTicket {
 public:
  PrintSettingsTicket(quill::PrintSession* session, quill::PrintSettings* settings);
  ~PrintSettingsTicket() override;
};
