#pragma once
#include <string>
#include <string_view>

// A fresh folder under the temporary folder, named namePrefix + process id + a counter, and
// removed with all it holds at the end. Everything inside is reached with the "\\?\" prefix,
// so long paths are set up and removed without relying on the code under test.
class ScratchFolder
{
public:
    explicit ScratchFolder(std::wstring_view namePrefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool created() const { return created_; }
    const std::wstring& path() const { return path_; }

    static std::wstring prefixed(const std::wstring& path) { return L"\\\\?\\" + path; }

    // Whether a file here reports the archive flag whatever is done to it. Wine does so for
    // every regular file: it stores only hidden and system (in the user.DOSATTRIB extended
    // attribute) and read-only (in the mode bits), and adds archive to what a file reports, so
    // a reset truthfully finds that flag kept. Its folders carry no archive flag. Windows keeps
    // the flag and clears it.
    bool filesAlwaysReportArchive() const;

private:
    std::wstring path_;
    bool created_ = false;
};
