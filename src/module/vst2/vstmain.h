#pragma once
// The part of the module entries that is the same on every platform: it builds the effect.

#include "shell/aeffect.h"

// Asks the host for its version; on a non-zero answer builds one effect and returns its record.
// Null when the host answers 0, the callback is null or memory runs out.
AEffect* createEffectInstance(audioMasterCallback audioMaster) noexcept;
