#pragma once
#include "selection/DropEffect.h"
#include "selection/DropPayload.h"

#include <ole2.h>

// The file list of a drop (CF_HDROP), or a payload without files when it has none.
DropPayload readDropPayload(IDataObject* data);

OfferedEffects offeredEffects(DWORD effects);
DWORD toOleEffect(DropEffect effect);
