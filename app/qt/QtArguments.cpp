#include "QtArguments.h"

QtArguments::QtArguments(const char* program, const QByteArray& platform)
{
    values_.emplace_back(program ? program : "flagwash");
    if (!platform.isEmpty()) {
        values_.emplace_back("-platform");
        values_.push_back(platform);
    }
    for (QByteArray& value : values_)
        pointers_.push_back(value.data());
    count_ = static_cast<int>(pointers_.size());
    pointers_.push_back(nullptr);
}

QByteArray preferredPlatform(const QByteArray& qpaPlatform, const QByteArray& display)
{
    if (!qpaPlatform.isEmpty() || display.isEmpty())
        return {};
    return QByteArrayLiteral("xcb;wayland");
}
