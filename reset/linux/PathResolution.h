#pragma once
#include <string_view>

namespace linuxreset {

struct Resolution
{
    int fd = -1;    // O_PATH descriptor of what the path names, its last component not followed
    int error = 0;  // errno when fd is -1
    // Set when the path goes through a symbolic link owned by neither root nor this user.
    bool throughStrangersLink = false;
};

// Resolves a path to an O_PATH | O_NOFOLLOW descriptor. A path without symbolic links before
// its last component costs one openat2; one with links is walked a component at a time, each
// step on the descriptor of the one before, and a link is followed only when it belongs to
// root or to the effective user.
Resolution resolveWithoutFollowingStrangers(std::string_view path);

}  // namespace linuxreset
