#pragma once
#include <functional>
#include <string>

// The path as the file API takes it literally, the only form every file is reached by: "\\?\"
// and the absolute path ("\\?\UNC\server\share\..." for "\\server\share\..."). Windows' own
// reading of a path drops a trailing dot or space from a name (so "hid." would be its namesake
// "hid"), turns "CON" or "aux.txt" into a device and stops at MAX_PATH; this one only makes the
// path absolute, lexically: "/" as "\", names that are exactly "." or ".." resolved, a relative
// path joined to the current directory, "C:name" to drive C's current directory. A path that
// is in this form already is kept as it is; an empty one stays empty.
std::wstring literalPath(const std::wstring& path);

// The same with a given current directory, and the current directory of a drive other than
// its own as the process environment keeps it ("=D:"); empty where there is none (then its
// root).
std::wstring literalPath(const std::wstring& path, const std::wstring& currentDirectory,
                         const std::function<std::wstring(wchar_t drive)>& driveDirectory);

// Whether a path, read literally, names a device ("\\.\COM1", "\\.\pipe\name",
// "\\?\GLOBALROOT\...", "\\server\pipe\name") rather than something on a drive, a share or a
// volume: such a path is never opened, as opening a port or a pipe is an act of its own. A file
// named like a device ("C:\folder\CON", "aux.txt") is a file, and is reset.
bool namesDevice(const std::wstring& path);

// Whether a path, read literally, is what Windows keeps for itself by name: the folder
// "System Volume Information" at the root of a drive, share or volume, or anything in it.
bool keptByWindowsByName(const std::wstring& path);
