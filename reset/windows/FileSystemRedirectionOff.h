#pragma once

// While one lives, this thread sees the file system as a 64-bit program does. A 32-bit program
// on 64-bit Windows is otherwise shown C:\Windows\SysWOW64 where it names C:\Windows\System32
// (and the 32-bit twins of a few other folders), so the file it would change is not the one the
// user dropped. Nothing that loads a DLL may run meanwhile: the loader would look in the 64-bit
// system folder too.
class FileSystemRedirectionOff
{
public:
    FileSystemRedirectionOff();
    ~FileSystemRedirectionOff();
    FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
    FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

    // False only where the system redirects this program and would not stop: every path it
    // names may then be a namesake.
    bool holds() const { return holds_; }

private:
    void* previous_ = nullptr;
    bool turnedOff_ = false;
    bool holds_ = true;
};
