// The SMS outbox: DEVICE/sms/outbox/, one file per accepted message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/win_types.h"

namespace platform::phone {

enum class SmsResult { Accepted, Refused, NotStored };

// Hands one message (UTF-8) to the phone: written first in DEVICE/sms/tmp/,
// then offered to TESSRA_SMS_COMMAND when it names a program (only its exit
// status 0 accepts the message), then moved into the outbox under the next
// number of the sequence, so that file names sort in sending order across
// programs. *sequence receives that number.
SmsResult sendSms(const std::string& number, const std::string& text, std::uint64_t* sequence);

}  // namespace platform::phone
