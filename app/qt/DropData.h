#pragma once
#include "selection/DropEffect.h"
#include "selection/DropPayload.h"

#include <Qt>

class QMimeData;

// Local files of a drop as paths with their exact bytes; a payload without files otherwise.
DropPayload dropPayloadFrom(const QMimeData* data);

OfferedEffects offeredEffects(Qt::DropActions actions);
Qt::DropAction toQtAction(DropEffect effect);
