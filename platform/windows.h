// The platform's Win32 subset, as app code includes it.
#pragma once

#include "platform/win_types.h"
#include "platform/win_base.h"
#include "platform/win_user.h"
#include "platform/commctrl.h"
#include "platform/aygshell.h"
#include "platform/libloaderapi.h"
#include "platform/winreg.h"
