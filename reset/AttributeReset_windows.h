#pragma once
#include <string>

// The path to hand to the file API: unchanged below MAX_PATH (260 characters); from there on
// its full form with the "\\?\" prefix ("\\?\UNC\" for a share), which lifts the limit on
// every Windows version. Such a path is taken literally, so it is made absolute and
// normalised first ("/" to "\", "." and ".." resolved).
std::wstring extendedLengthPath(const std::wstring& path);

// Whether a path, as the system reads it, names a device ("C:\folder\COM1", "\\.\pipe\name")
// rather than something on a drive, a share or a volume: such a path is never opened, as opening
// a port or a pipe is an act of its own.
bool namesDevice(const std::wstring& path);
