#pragma once
#include <string>
#include <string_view>

// The maker's one-line ownership notice, the first line of the About message.
inline constexpr std::string_view ownershipNotice
        = "Copyright (C) Quorvane Software. All rights reserved.";

// The About message: thirteen entries, each followed by one or two line breaks.
std::string AboutText(std::string_view webHost, const std::string& lineBreak);
