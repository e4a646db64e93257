#pragma once
#include <atomic>
#include <type_traits>
#include <utility>

#include <unknwn.h>
#include <wrl/client.h>

// The interface an interface extends, for QueryInterface to answer for it too. IUnknown for
// most; an interface built on another one says so next to where it is implemented.
template<typename Interface> struct ExtendedInterface
{
    using type = IUnknown;
};

// IUnknown for an object of this program implementing Interfaces: QueryInterface answers for
// each of them and for every interface they extend, the first standing for IUnknown, and the
// object lives for as long as anyone holds a reference. Made with a reference of its own (see
// makeComObject), it deletes itself at the last Release, so it is never made on the stack.
// COM interfaces have no virtual destructor, by design: an object is never deleted through one,
// only by its own Release, and this class's destructor is virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template<typename First, typename... Rest> class ComObject : public First, public Rest...
{
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid == __uuidof(IUnknown))
            *object = static_cast<First*>(this);
        else
            (void)(find<First>(iid, object) || ... || find<Rest>(iid, object));
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~ComObject() = default;

private:
    template<typename Interface> bool find(REFIID iid, void** object)
    {
        if (!answersFor<Interface>(iid))
            return false;
        *object = static_cast<Interface*>(this);
        return true;
    }
    template<typename Interface> static bool answersFor(REFIID iid)
    {
        if constexpr (std::is_same_v<Interface, IUnknown>)
            return false;
        else
            return iid == __uuidof(Interface)
                    || answersFor<typename ExtendedInterface<Interface>::type>(iid);
    }

    std::atomic<ULONG> references_ = 1;
};
#pragma GCC diagnostic pop

// A new object of this program, its first reference held by the pointer returned.
template<typename Object, typename... Arguments>
Microsoft::WRL::ComPtr<Object> makeComObject(Arguments&&... arguments)
{
    Microsoft::WRL::ComPtr<Object> object;
    object.Attach(new Object(std::forward<Arguments>(arguments)...));
    return object;
}
