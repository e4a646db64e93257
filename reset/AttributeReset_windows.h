#pragma once
#include "reset/windows/LiteralPath.h"

#include <functional>
#include <memory>
#include <string>

class AttributeReset;

// A reset that calls afterRead once it has opened the object and read its attributes, before
// it writes them: tests put another object under the path there. makeAttributeReset() has none.
std::unique_ptr<AttributeReset> makeAttributeReset(std::function<void()> afterRead);
