// Queuing one e-mail with a file attached through the phone's messaging
// library, CEMAPI.DLL, loaded for this one message and unloaded again.
#pragma once

#include "cemapi/cemapi.h"

// 1 when the message was submitted to the Outbox of the store named
// service (or of the store an empty entry identifier opens, when no store
// has that name), 0 otherwise. recipients are addresses separated by ';',
// each taken as it stands; attachPath is the file whose bytes are attached
// under the name attachName. Everything obtained is given back on every
// path, and COM and MAPI are left as they were found.
int sendMailWithAttachment(const char16_t* service, const char16_t* recipients, const char16_t* subject,
                           const char16_t* body, const char16_t* attachPath, const char16_t* attachName);

// The message store whose display name equals name ignoring case, or null.
// The store table's rows are freed with freeBuffer.
LPMDB findMessageStore(LPMAPISESSION session, LPMAPITABLE storeTable, const char16_t* name,
                       LPMAPIFREEBUFFER freeBuffer);
