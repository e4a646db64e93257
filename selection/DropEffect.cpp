#include "selection/DropEffect.h"

DropEffect answerDropEffect(OfferedEffects offered)
{
    if (offered.copy)
        return DropEffect::Copy;
    if (offered.link)
        return DropEffect::Link;
    return DropEffect::None;
}
