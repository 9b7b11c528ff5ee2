#include "output/PrintSettingsTicket.h"

PrintSettingsTicket::PrintSettingsTicket(quill::PrintSession* session,
                                         quill::PrintSettings* settings)
    : JobTicket(session, settings) {}

PrintSettingsTicket::~PrintSettingsTicket() = default;
