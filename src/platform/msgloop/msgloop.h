#pragma once
// The message loop under its short name; see message_loop.h.
#include "platform/msgloop/message_loop.h"
