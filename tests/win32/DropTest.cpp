#include "WindowFixture.h"

#include "DataObject.h"
#include "Picture.h"

#include <ole2.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

using Win32Drop = WindowFixture;
using Paths = std::vector<std::wstring>;

HGLOBAL globalCopy(const void *bytes, std::size_t size)
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
    DROPFILES header {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(bytes.data(), &header, sizeof(header));
    std::memcpy(bytes.data() + sizeof(header), names.data(), names.size() * sizeof(wchar_t));
    return globalCopy(bytes.data(), bytes.size());
}

enum class Payload { ThreeFiles, LongUnicodePath, TextOnly, Image1Picture };

const Paths threeFiles {L"C:\\users\\Public\\report.doc", L"C:\\users\\Public\\photos",
                        L"D:\\a folder\\notes.txt"};

std::wstring longUnicodePath()
{
    return L"C:\\Ünïcødé\\" + std::wstring(300, L'x') + L"\\файл 文件.txt";
}

ComPtr<IDataObject> dataObject(Payload payload)
{
    auto *data = new DataObject;
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
    ComPtr<IDataObject> object;
    object.Attach(data);
    return object;
}

IDropTarget *registeredDropTarget(HWND window)
{
    // Where RegisterDragDrop keeps the target of a window.
    return static_cast<IDropTarget *>(GetPropW(window, L"OleDropTargetInterface"));
}

struct DropAnswers
{
    DWORD enter, over, drop;
};

// Enter over the background, move to the point, drop there: what a drag from the shell does.
DropAnswers dragAndDrop(IDropTarget *target, IDataObject *data, POINT enterAt, POINT dropAt,
                        DWORD offered)
{
    DropAnswers answers {offered, offered, offered};
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
    IDropTarget *target = registeredDropTarget(window());
    ASSERT_TRUE(target);
    const POINT background = clientToScreen({px(5), px(5)});
    const POINT image1 = clientToScreen({px(191), px(179)});
    const POINT besideImage1 = clientToScreen({px(240), px(179)});
    const POINT image1UnderLabel3 = clientToScreen({px(160), px(208)});

    const struct
    {
        const char *drop;
        Payload payload;
        DWORD offered;
        POINT at;
        DWORD answered;
        Paths listed; // the selection before was {before}
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
        auto *before = new DataObject;
        before->add(CF_HDROP, fileList({L"C:\\before.txt"}));
        dragAndDrop(target, before, background, image1, DROPEFFECT_COPY);
        before->Release();
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

// Drags through OLE follow the one pointer of the desktop: a test using it holds this lock
// (test processes of one Wine prefix share named objects) and keeps its window on top.
class PointerLock
{
public:
    explicit PointerLock(HWND window)
        : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\FlagwashTestPointer"))
        , window_(window)
    {
        if (mutex_)
            WaitForSingleObject(mutex_, INFINITE);
        SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    PointerLock(const PointerLock&) = delete;
    PointerLock& operator=(const PointerLock&) = delete;
    ~PointerLock()
    {
        if (IsWindow(window_))
            SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (mutex_) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }

private:
    HANDLE mutex_;
    HWND window_;
};

// A drag source for DoDragDrop that lets the drag be tracked a few times, then drops.
class DroppingSource : public IDropSource
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDropSource) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
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
    const POINT image1 = clientToScreen({px(191), px(179)});
    const PointerLock pointer(window());
    // Shown first, as a drag over the background would have done.
    dragAndDrop(registeredDropTarget(window()), dataObject(Payload::TextOnly).Get(),
                clientToScreen({px(5), px(5)}), clientToScreen({px(5), px(5)}), DROPEFFECT_COPY);
    ASSERT_TRUE(SetCursorPos(image1.x, image1.y));
    POINT cursor {};
    GetCursorPos(&cursor);
    if (cursor.x != image1.x || cursor.y != image1.y)
        GTEST_SKIP() << "the pointer cannot be placed on this desktop";

    DroppingSource source;
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DoDragDrop(dataObject(Payload::ThreeFiles).Get(), &source, anyEffect, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(form->List1().paths(), pathsOf(threeFiles));
    EXPECT_EQ(caption(), threeSelected);
}

TEST_F(Win32Drop, Image1PictureDraggedOutAndDroppedBackIsAPayloadWithoutFiles)
{
    IDropTarget *target = registeredDropTarget(window());
    ASSERT_TRUE(target);
    const POINT image1 = clientToScreen({px(191), px(179)});
    dragAndDrop(target, dataObject(Payload::ThreeFiles).Get(), clientToScreen({px(5), px(5)}),
                image1, DROPEFFECT_COPY);
    dragAndDrop(target, dataObject(Payload::TextOnly).Get(), clientToScreen({px(5), px(5)}),
                clientToScreen({px(5), px(5)}), DROPEFFECT_COPY);
    ASSERT_EQ(form->List1().count(), 3u);
    const PointerLock pointer(window());
    ASSERT_TRUE(SetCursorPos(image1.x, image1.y));
    POINT cursor {};
    GetCursorPos(&cursor);
    if (cursor.x != image1.x || cursor.y != image1.y)
        GTEST_SKIP() << "the pointer cannot be placed on this desktop";

    // Pressed on Image1 and moved past the drag distance: the window starts the drag itself,
    // and with no button really held OLE drops at once where the pointer is.
    const int x = px(191);
    const int y = px(179);
    SendMessageW(window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 20, y));
    pumpMessages();

    EXPECT_EQ(form->List1().count(), 0u);
    EXPECT_EQ(caption(), L"");
    EXPECT_TRUE(log.empty()) << "a drag is not a click";
}

} // namespace
