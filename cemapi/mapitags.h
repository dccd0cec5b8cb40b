// MAPI property types and the property tags a message to a store uses. A
// tag is the property's identifier in the high 16 bits, its type in the low.
#pragma once

#include "platform/win_types.h"

constexpr ULONG PT_UNSPECIFIED = 0x0000;
constexpr ULONG PT_NULL = 0x0001;
constexpr ULONG PT_I2 = 0x0002;
constexpr ULONG PT_LONG = 0x0003;
constexpr ULONG PT_DOUBLE = 0x0005;
constexpr ULONG PT_ERROR = 0x000A;
constexpr ULONG PT_BOOLEAN = 0x000B;
constexpr ULONG PT_STRING8 = 0x001E;
constexpr ULONG PT_UNICODE = 0x001F;
constexpr ULONG PT_SYSTIME = 0x0040;
constexpr ULONG PT_BINARY = 0x0102;

constexpr ULONG PROP_TAG(ULONG type, ULONG id) { return (id << 16) | type; }
constexpr ULONG PROP_TYPE(ULONG tag) { return tag & 0xFFFF; }
constexpr ULONG PROP_ID(ULONG tag) { return tag >> 16; }
constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type) { return (tag & 0xFFFF0000) | type; }

constexpr ULONG PR_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFF);
constexpr ULONG PR_DISPLAY_NAME_W = PROP_TAG(PT_UNICODE, 0x3001);
constexpr ULONG PR_DISPLAY_NAME_A = PROP_TAG(PT_STRING8, 0x3001);
constexpr ULONG PR_OBJECT_TYPE = PROP_TAG(PT_LONG, 0x0FFE);

// Recipients.
constexpr ULONG PR_RECIPIENT_TYPE = PROP_TAG(PT_LONG, 0x0C15);
constexpr ULONG PR_ADDRTYPE_W = PROP_TAG(PT_UNICODE, 0x3002);
constexpr ULONG PR_EMAIL_ADDRESS_W = PROP_TAG(PT_UNICODE, 0x3003);
constexpr ULONG PR_EMAIL_ADDRESS_A = PROP_TAG(PT_STRING8, 0x3003);

// Messages.
constexpr ULONG PR_SUBJECT_W = PROP_TAG(PT_UNICODE, 0x0037);
constexpr ULONG PR_MESSAGE_FLAGS = PROP_TAG(PT_LONG, 0x0E07);
constexpr ULONG PR_MSG_STATUS = PROP_TAG(PT_LONG, 0x0E17);
constexpr ULONG PR_BODY_W = PROP_TAG(PT_UNICODE, 0x1000);

// Attachments.
constexpr ULONG PR_ATTACH_SIZE = PROP_TAG(PT_LONG, 0x0E20);
constexpr ULONG PR_ATTACH_NUM = PROP_TAG(PT_LONG, 0x0E21);
constexpr ULONG PR_ATTACH_DATA_BIN = PROP_TAG(PT_BINARY, 0x3701);
constexpr ULONG PR_ATTACH_FILENAME_W = PROP_TAG(PT_UNICODE, 0x3704);
constexpr ULONG PR_ATTACH_METHOD = PROP_TAG(PT_LONG, 0x3705);
constexpr ULONG PR_ATTACH_LONG_FILENAME_W = PROP_TAG(PT_UNICODE, 0x3707);

// A message store's entry identifier of its Outbox folder.
constexpr ULONG PR_CE_IPM_OUTBOX_ENTRYID = PROP_TAG(PT_BINARY, 0x8104);
static_assert(PR_CE_IPM_OUTBOX_ENTRYID == 0x81040102);
