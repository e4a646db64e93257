#pragma once
#include <QString>

#include <string_view>

// The core's texts are UTF-8; Qt's are UTF-16. Every text crosses here, once.
inline QString fromUtf8(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
