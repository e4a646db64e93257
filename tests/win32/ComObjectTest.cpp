// The program's own COM objects keep COM's rules: each answers for the interfaces it implements
// and those they extend, every answer leads back to one IUnknown, and nothing else is answered.
#include "WindowFixture.h"

#include "DataObject.h"
#include "DropSource.h"
#include "WindowAccessible.h"

#include <oleacc.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

using Win32ComObject = WindowFixture;

ComPtr<IUnknown> identityOf(IUnknown* object)
{
    ComPtr<IUnknown> identity;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
    return identity;
}

TEST_F(Win32ComObject, EveryInterfaceLeadsBackToOneIdentityAndNoOtherIsAnswered)
{
    IDropTarget* dropTarget = registeredDropTarget(window());
    ASSERT_TRUE(dropTarget);
    const ComPtr<WindowAccessible> accessible = WindowAccessible::create(*mainWindow);
    ASSERT_TRUE(accessible);

    const struct
    {
        const char* object;
        ComPtr<IUnknown> made;
        std::vector<IID> answered;
    } cases[] = {
            {"DataObject", makeComObject<DataObject>(), {__uuidof(IDataObject)}},
            {"DropSource", makeComObject<DropSource>(), {__uuidof(IDropSource)}},
            {"the registered drop target", dropTarget, {__uuidof(IDropTarget)}},
            {"WindowAccessible",
             static_cast<IAccessible*>(accessible.Get()),
             {accessibleInterface, __uuidof(IDispatch), __uuidof(IOleWindow)}},
    };
    const IID never[] = {__uuidof(IStream), __uuidof(IDropTarget), __uuidof(IClassFactory)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.object);
        const ComPtr<IUnknown> identity = identityOf(c.made.Get());
        ASSERT_TRUE(identity);
        for (const IID& iid : c.answered) {
            ComPtr<IUnknown> answer;
            ASSERT_EQ(c.made->QueryInterface(iid, reinterpret_cast<void**>(answer.GetAddressOf())),
                      S_OK);
            ASSERT_TRUE(answer);
            EXPECT_EQ(identityOf(answer.Get()), identity);
            // And every interface reaches every other.
            for (const IID& other : c.answered) {
                ComPtr<IUnknown> reached;
                EXPECT_EQ(answer->QueryInterface(other,
                                                 reinterpret_cast<void**>(reached.GetAddressOf())),
                          S_OK);
            }
        }
        for (const IID& iid : never) {
            if (std::find(c.answered.begin(), c.answered.end(), iid) != c.answered.end())
                continue;
            int stale = 0;
            void* answer = &stale;
            EXPECT_EQ(c.made->QueryInterface(iid, &answer), E_NOINTERFACE);
            EXPECT_EQ(answer, nullptr);
        }
        EXPECT_EQ(c.made->QueryInterface(__uuidof(IUnknown), nullptr), E_POINTER);
    }
}

}  // namespace
