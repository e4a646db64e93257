#include "WindowFixture.h"

#include "ScratchFolder_windows.h"

#include "ComObject.h"
#include "DataObject.h"
#include "Picture.h"
#include "platform/WideText_windows.h"

#include <ole2.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

using Id = Layout::ControlId;

using Win32Drop = WindowFixture;
using Paths = std::vector<std::wstring>;

HGLOBAL globalCopy(const void* bytes, std::size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    std::memcpy(GlobalLock(memory), bytes, size);
    GlobalUnlock(memory);
    return memory;
}

// The shell's file list: DROPFILES, then the wide paths, each ending in NUL, and one NUL more.
HGLOBAL fileList(const Paths& paths)
{
    std::vector<wchar_t> names;
    for (const std::wstring& path : paths) {
        names.insert(names.end(), path.begin(), path.end());
        names.push_back(L'\0');
    }
    names.push_back(L'\0');
    std::vector<char> bytes(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(bytes.data(), &header, sizeof(header));
    std::memcpy(bytes.data() + sizeof(header), names.data(), names.size() * sizeof(wchar_t));
    return globalCopy(bytes.data(), bytes.size());
}

enum class Payload { ThreeFiles, LongUnicodePath, TextOnly, Image1Picture };

const Paths threeFiles{L"C:\\users\\Public\\report.doc", L"C:\\users\\Public\\photos",
                       L"D:\\a folder\\notes.txt"};

std::wstring longUnicodePath()
{
    return L"C:\\Ünïcødé\\" + std::wstring(300, L'x') + L"\\файл 文件.txt";
}

ComPtr<IDataObject> dataObject(Payload payload)
{
    const auto data = makeComObject<DataObject>();
    switch (payload) {
    case Payload::ThreeFiles:
        data->add(CF_HDROP, fileList(threeFiles));
        break;
    case Payload::LongUnicodePath:
        data->add(CF_HDROP, fileList({longUnicodePath()}));
        break;
    case Payload::TextOnly: {
        const wchar_t text[] = L"C:\\users\\Public\\report.doc";
        data->add(CF_UNICODETEXT, globalCopy(text, sizeof(text)));
        break;
    }
    case Payload::Image1Picture: {
        const Layout::Picture& zone = Layout::dropZone;
        const Picture picture = Picture::load(GetModuleHandleW(nullptr), zone.file, zone.width,
                                              zone.width, zone.height);
        data->add(CF_DIB, picture.toDib());
        break;
    }
    }
    return data;
}

struct DropAnswers
{
    DWORD enter, over, drop;
};

// Enter over the background, move to the point, drop there: what a drag from the shell does.
DropAnswers dragAndDrop(IDropTarget* target, IDataObject* data, POINT enterAt, POINT dropAt,
                        DWORD offered)
{
    DropAnswers answers{offered, offered, offered};
    target->DragEnter(data, MK_LBUTTON, {enterAt.x, enterAt.y}, &answers.enter);
    target->DragOver(MK_LBUTTON, {dropAt.x, dropAt.y}, &answers.over);
    target->Drop(data, 0, {dropAt.x, dropAt.y}, &answers.drop);
    return answers;
}

std::vector<std::filesystem::path> pathsOf(const Paths& paths)
{
    return {paths.begin(), paths.end()};
}

const std::wstring threeSelected = L"3 File(s)/Folder(s) selected. Click RESET";
const std::wstring oneSelected = L"1 File(s)/Folder(s) selected. Click RESET";
constexpr DWORD anyEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

TEST_F(Win32Drop, RegisteredTargetTakesFileListsOnImage1AndNeverAnswersMove)
{
    IDropTarget* target = registeredDropTarget(window());
    ASSERT_TRUE(target);
    const POINT background = clientToScreen({px(5), px(5)});
    const POINT image1 = clientToScreen(controlCentre(Id::Image1, dpi()));
    const POINT besideImage1 = clientToScreen({px(240), px(179)});
    const POINT image1UnderLabel3 = clientToScreen({px(160), px(208)});

    const struct
    {
        const char* drop;
        Payload payload;
        DWORD offered;
        POINT at;
        DWORD answered;
        Paths listed;  // the selection before was {before}
        std::wstring caption;
        bool image1Shown;
    } cases[] = {
            {"three paths, all effects offered", Payload::ThreeFiles, anyEffect, image1,
             DROPEFFECT_COPY, threeFiles, threeSelected, false},
            {"three paths, no copy offered", Payload::ThreeFiles, DROPEFFECT_MOVE | DROPEFFECT_LINK,
             image1, DROPEFFECT_LINK, threeFiles, threeSelected, false},
            {"three paths from a move-only source", Payload::ThreeFiles, DROPEFFECT_MOVE, image1,
             DROPEFFECT_NONE, threeFiles, threeSelected, false},
            {"one long Unicode path",
             Payload::LongUnicodePath,
             DROPEFFECT_COPY,
             image1,
             DROPEFFECT_COPY,
             {longUnicodePath()},
             oneSelected,
             false},
            {"text only", Payload::TextOnly, anyEffect, image1, DROPEFFECT_COPY, {}, L"", true},
            {"Image1's own picture",
             Payload::Image1Picture,
             DROPEFFECT_COPY,
             image1,
             DROPEFFECT_COPY,
             {},
             L"",
             true},
            {"three paths beside Image1",
             Payload::ThreeFiles,
             anyEffect,
             besideImage1,
             DROPEFFECT_NONE,
             {L"C:\\before.txt"},
             oneSelected,
             true},
            {"three paths where Label3 covers Image1",
             Payload::ThreeFiles,
             anyEffect,
             image1UnderLabel3,
             DROPEFFECT_NONE,
             {L"C:\\before.txt"},
             oneSelected,
             true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drop);
        const auto before = makeComObject<DataObject>();
        before->add(CF_HDROP, fileList({L"C:\\before.txt"}));
        dragAndDrop(target, before.Get(), background, image1, DROPEFFECT_COPY);
        ASSERT_EQ(form->List1().paths(), pathsOf({L"C:\\before.txt"}));

        const DropAnswers answers
                = dragAndDrop(target, dataObject(c.payload).Get(), background, c.at, c.offered);
        EXPECT_EQ(answers.enter & DROPEFFECT_MOVE, 0u);
        EXPECT_EQ(answers.over & DROPEFFECT_MOVE, 0u);
        EXPECT_EQ(answers.drop, c.answered);
        EXPECT_EQ(form->List1().paths(), pathsOf(c.listed));
        EXPECT_EQ(caption(), c.caption);
        EXPECT_EQ(mainWindow->takesDropAt(image1), c.image1Shown);
    }
}

// A drag source for DoDragDrop that lets the drag be tracked a few times, then drops.
class DroppingSource : public ComObject<IDropSource>
{
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override
    {
        return ++asked < 3 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    int asked = 0;
};

TEST_F(Win32Drop, DoDragDropOntoImage1GoesThroughOle)
{
    const POINT image1 = clientToScreen(controlCentre(Id::Image1, dpi()));
    const PointerLock pointer(window());
    // Shown first, as a drag over the background would have done.
    dragAndDrop(registeredDropTarget(window()), dataObject(Payload::TextOnly).Get(),
                clientToScreen({px(5), px(5)}), clientToScreen({px(5), px(5)}), DROPEFFECT_COPY);
    if (!pointer.moveTo(image1))
        GTEST_SKIP() << "the pointer cannot be placed on this desktop";

    const ComPtr<DroppingSource> source = makeComObject<DroppingSource>();
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DoDragDrop(dataObject(Payload::ThreeFiles).Get(), source.Get(), anyEffect, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(form->List1().paths(), pathsOf(threeFiles));
    EXPECT_EQ(caption(), threeSelected);
}

TEST_F(Win32Drop, Image1PictureDraggedOutAndDroppedBackIsAPayloadWithoutFiles)
{
    IDropTarget* target = registeredDropTarget(window());
    ASSERT_TRUE(target);
    const POINT image1 = clientToScreen(controlCentre(Id::Image1, dpi()));
    dragAndDrop(target, dataObject(Payload::ThreeFiles).Get(), clientToScreen({px(5), px(5)}),
                image1, DROPEFFECT_COPY);
    dragAndDrop(target, dataObject(Payload::TextOnly).Get(), clientToScreen({px(5), px(5)}),
                clientToScreen({px(5), px(5)}), DROPEFFECT_COPY);
    ASSERT_EQ(form->List1().count(), 3u);
    const PointerLock pointer(window());
    if (!pointer.moveTo(image1))
        GTEST_SKIP() << "the pointer cannot be placed on this desktop";

    // Pressed on Image1 and moved past the drag distance: the window starts the drag itself,
    // and with no button really held OLE drops at once where the pointer is.
    const auto [x, y] = controlCentre(Id::Image1, dpi());
    SendMessageW(window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 20, y));
    pumpMessages();

    EXPECT_EQ(form->List1().count(), 0u);
    EXPECT_EQ(caption(), L"");
    EXPECT_TRUE(log.empty()) << "a drag is not a click";
}

bool writeFile(const std::wstring& path, const std::string& contents)
{
    const HANDLE file = CreateFileW(ScratchFolder::prefixed(path).c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
    return written == contents.size();
}

std::string readFile(const std::wstring& path)
{
    const HANDLE file = CreateFileW(ScratchFolder::prefixed(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<cannot be read>";
    std::string contents(4096, '\0');
    DWORD read = 0;
    ReadFile(file, contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr);
    CloseHandle(file);
    contents.resize(read);
    return contents;
}

DWORD attributesOf(const std::wstring& path)
{
    return GetFileAttributesW(ScratchFolder::prefixed(path).c_str());
}

// Runs on every tick of a thread timer, so inside whatever modal loop is running.
std::function<void()> onTick;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (onTick)
        onTick();
}

constexpr DWORD shownAsNormal
        = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Names with characters outside the Basic Multilingual Plane, in paths past MAX_PATH: dropped on
// Image1 through OLE, reset by a click on RESET, the real report box closed with its OK button.
TEST_F(Win32Drop, LongPathsWithAstralCharactersAreDroppedAndReset)
{
    ScratchFolder scratch(L"flagwash-drop-");
    ASSERT_TRUE(scratch.created());
    const std::wstring folder = L"\U0001F4C1 " + std::wstring(120, L'd');
    const std::wstring inner
            = scratch.path() + L"\\" + folder + L"\\\U0001F5C2 " + std::wstring(110, L'e');
    ASSERT_TRUE(CreateDirectoryW(ScratchFolder::prefixed(scratch.path() + L"\\" + folder).c_str(),
                                 nullptr));
    ASSERT_TRUE(CreateDirectoryW(ScratchFolder::prefixed(inner).c_str(), nullptr));

    const struct
    {
        std::wstring path;
        std::string contents;  // empty: a folder
    } items[] = {
            {inner + L"\\report \U0001F4C4 " + std::wstring(40, L'r') + L".doc",
             "report \xF0\x9F\x93\x84 with bytes \x01\x02\xFF"},
            {inner + L"\\notes \U00010348\U0001F600.txt", "notes"},
            {inner, ""},
    };
    Paths dropped;
    for (const auto& item : items) {
        if (!item.contents.empty()) {
            ASSERT_TRUE(writeFile(item.path, item.contents)) << toUtf8(item.path);
        }
        ASSERT_GT(item.path.size(), static_cast<std::size_t>(MAX_PATH));
        const DWORD flags = item.contents.empty() ? FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                                                  : shownAsNormal;
        ASSERT_TRUE(SetFileAttributesW(ScratchFolder::prefixed(item.path).c_str(), flags));
        if ((attributesOf(item.path) & flags) != flags)
            GTEST_SKIP() << "this file system keeps no hidden, system or read-only flag (Wine "
                            "keeps hidden and system in user extended attributes)";
        dropped.push_back(item.path);
    }

    IDropTarget* target = registeredDropTarget(window());
    ASSERT_TRUE(target);
    const auto data = makeComObject<DataObject>();
    data->add(CF_HDROP, fileList(dropped));
    const DropAnswers answers
            = dragAndDrop(target, data.Get(), clientToScreen({px(5), px(5)}),
                          clientToScreen(controlCentre(Id::Image1, dpi())), DROPEFFECT_COPY);
    EXPECT_EQ(answers.drop, static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_EQ(form->List1().paths(), pathsOf(dropped));
    EXPECT_EQ(caption(), L"3 File(s)/Folder(s) selected. Click RESET");

    // The report box is the real one, closed from here with its OK button once it shows.
    view->realBoxes = true;
    std::wstring reported;
    int ticks = 0;
    onTick = [&] {
        for (HWND box : ownedWindows(window())) {
            if (classOf(box) != L"#32770")
                continue;
            reported = reportTextOf(box);
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return;
        }
        // Never left open for ever, even when the button cannot be found.
        if (++ticks > 600) {
            for (HWND box : ownedWindows(window()))
                PostMessageW(box, WM_CLOSE, 0, 0);
        }
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, tick);
    const POINT reset = controlCentre(Id::imgStart, dpi());
    SendMessageW(window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(reset.x, reset.y));
    SendMessageW(window(), WM_LBUTTONUP, 0, MAKELPARAM(reset.x, reset.y));
    KillTimer(nullptr, timer);
    onTick = nullptr;

    ASSERT_EQ(view->boxes.size(), 1u);
    // Under Wine the two files truthfully keep the archive flag (see
    // ScratchFolder::filesAlwaysReportArchive); the folder is done there too.
    const bool archiveKept = scratch.filesAlwaysReportArchive();
    const std::wstring done
            = archiveKept ? L"Done resetting 1 files/folders" : L"Done resetting 3 files/folders";
    EXPECT_EQ(reported.rfind(done, 0), 0u) << toUtf8(reported);
    const std::wstring kept = L" (the disk kept these flags: archive)";
    std::size_t keptCount = 0;
    for (std::size_t at = reported.find(kept); at != std::wstring::npos;
         at = reported.find(kept, at + 1))
        ++keptCount;
    EXPECT_EQ(keptCount, archiveKept ? 2u : 0u) << toUtf8(reported);
    EXPECT_TRUE(ownedWindows(window()).empty()) << "the report box is still open";
    EXPECT_EQ(caption(), L"");
    for (const auto& item : items) {
        SCOPED_TRACE(toUtf8(item.path));
        EXPECT_EQ(attributesOf(item.path) & shownAsNormal, 0u);
        if (!item.contents.empty()) {
            EXPECT_EQ(readFile(item.path), item.contents);
        }
    }
}

enum class LateMoment { RunBeforeTheProgressShows, RunWithTheProgressUp, ReportAsked, ReportBoxUp };

// Drops delivered to the registered drop target while a run goes on or its report is up: the
// target refuses each, the list and the caption stay as they were, the run resets exactly what
// was dropped before RESET and the next RESET finds nothing. Before the progress shows, and
// while the report is being put up, the window is still enabled: only the form can tell then
// that it takes no drop.
TEST_F(Win32Drop, DropDuringARunOrItsReportIsRefused)
{
    auto fake = std::make_unique<FakeAttributeReset>(log);
    FakeAttributeReset& reset = *fake;
    attributeReset = std::move(fake);
    open();
    IDropTarget* target = registeredDropTarget(window());
    ASSERT_TRUE(target);
    const POINT background = clientToScreen({px(5), px(5)});
    const POINT image1 = clientToScreen(controlCentre(Id::Image1, dpi()));

    Paths dropped;
    for (int i = 0; i < 60; ++i)
        dropped.push_back(L"C:\\dropped\\file-" + std::to_wstring(i) + L".txt");
    const std::wstring droppedCaption = L"60 File(s)/Folder(s) selected. Click RESET";

    const struct
    {
        const char* moment;
        LateMoment when;
    } cases[] = {
            {"during the run, before the progress shows", LateMoment::RunBeforeTheProgressShows},
            {"during the run, with the progress up", LateMoment::RunWithTheProgressUp},
            {"while the report is put up", LateMoment::ReportAsked},
            {"while the real report box is up", LateMoment::ReportBoxUp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.moment);
        form->setClock(steppingClock(std::chrono::milliseconds(20)));
        const auto data = makeComObject<DataObject>();
        data->add(CF_HDROP, fileList(dropped));
        dragAndDrop(target, data.Get(), background, image1, DROPEFFECT_COPY);
        ASSERT_EQ(form->List1().paths(), pathsOf(dropped));
        // Image1 shows again, as after any drag over the window, so a drop on it would count.
        dragTextOver(window(), background);
        ASSERT_TRUE(mainWindow->takesDropAt(image1));
        reset.calls.clear();
        view->boxes.clear();

        struct
        {
            bool delivered = false;
            bool progressUp = false;
            bool windowEnabled = false;
            DropAnswers answers{};
            std::vector<std::filesystem::path> listBefore, listAfter;
            std::wstring captionBefore, captionAfter;
        } late;
        const auto progressShown = [&] {
            for (HWND owned : ownedWindows(window())) {
                if (classOf(owned) == L"FlagwashProgress")
                    return true;
            }
            return false;
        };
        const auto dropLate = [&] {
            if (late.delivered)
                return;
            late.delivered = true;
            late.progressUp = progressShown();
            late.windowEnabled = IsWindowEnabled(window()) != FALSE;
            late.listBefore = form->List1().paths();
            late.captionBefore = caption();
            late.answers = dragAndDrop(target, dataObject(Payload::ThreeFiles).Get(), background,
                                       image1, anyEffect);
            late.listAfter = form->List1().paths();
            late.captionAfter = caption();
        };
        reset.onReset = [&](const std::filesystem::path&) {
            if ((c.when == LateMoment::RunBeforeTheProgressShows && reset.calls.size() == 3)
                || (c.when == LateMoment::RunWithTheProgressUp && progressShown()))
                dropLate();
        };
        view->onBox = c.when == LateMoment::ReportAsked ? std::function<void()>(dropLate) : nullptr;
        view->realBoxes = c.when == LateMoment::ReportBoxUp;
        int ticks = 0;
        onTick = [&] {
            for (HWND box : ownedWindows(window())) {
                if (classOf(box) != L"#32770")
                    continue;
                dropLate();
                SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                return;
            }
            // Never left open for ever, even when the button cannot be found.
            if (++ticks > 600) {
                for (HWND box : ownedWindows(window()))
                    PostMessageW(box, WM_CLOSE, 0, 0);
            }
        };
        const UINT_PTR timer = view->realBoxes ? SetTimer(nullptr, 0, 20, tick) : 0;
        const POINT start = controlCentre(Id::imgStart, dpi());
        SendMessageW(window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
        SendMessageW(window(), WM_LBUTTONUP, 0, MAKELPARAM(start.x, start.y));
        if (timer)
            KillTimer(nullptr, timer);
        onTick = nullptr;
        view->onBox = nullptr;
        view->realBoxes = false;
        reset.onReset = nullptr;

        ASSERT_TRUE(late.delivered) << "the moment never came";
        EXPECT_EQ(late.progressUp, c.when == LateMoment::RunWithTheProgressUp);
        EXPECT_EQ(late.answers.enter, static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(late.answers.over, static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(late.answers.drop, static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(late.listAfter, late.listBefore);
        EXPECT_EQ(late.captionAfter, late.captionBefore);
        EXPECT_EQ(late.captionBefore, droppedCaption);
        // The run walked what was dropped before RESET, and its report counts exactly that.
        EXPECT_EQ(reset.calls, pathsOf(dropped));
        ASSERT_EQ(view->boxes.size(), 1u);
        EXPECT_EQ(view->boxes[0].second,
                  "Done resetting 60 files/folders\r\n\r\nClick OK to reset more files/folders");
        EXPECT_EQ(caption(), L"");
        EXPECT_TRUE(form->List1().paths().empty());

        reset.calls.clear();
        view->boxes.clear();
        SendMessageW(window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
        SendMessageW(window(), WM_LBUTTONUP, 0, MAKELPARAM(start.x, start.y));
        EXPECT_TRUE(reset.calls.empty()) << "the second RESET reset something";
        ASSERT_EQ(view->boxes.size(), 1u);
        EXPECT_EQ(view->boxes[0].second.rfind("Done resetting 0 files/folders", 0), 0u);
        pumpMessages();
    }
}

}  // namespace
