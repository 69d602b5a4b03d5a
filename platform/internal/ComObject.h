// What every COM object of the stand-in shares: a reference count, a place in the live-object
// count, QueryInterface over the interfaces it lists, and its IUnknown calls counted (and open
// to injected faults) as "INTERFACE::QueryInterface", "INTERFACE::AddRef", "INTERFACE::Release".
//
// Use: derive from ComObject<IDirectSoundBuffer, "IDirectSoundBuffer">, pass the kind it is
// counted under among the live objects and the interfaces QueryInterface hands it out for
// (IUnknown is always one), and open each method with
// `if (HRESULT hr; Entered<"Play">(&hr)) return hr;` (counted as "IDirectSoundBuffer::Play").
// The object is deleted when its count reaches 0; override LastReleased for anything else.
// A method that only answers one thing is `return Answer<"GetCaps">(DSERR_UNSUPPORTED);`.
#pragma once

#include <windef.h>

#include "internal/StandIn.h"

#include <initializer_list>

namespace tarn::platform {

template <class Interface, OperationName InterfaceName> class ComObject : public Interface {
public:
    ComObject(const char* liveKind, std::initializer_list<const IID*> iids) : kind(liveKind) {
        for (const IID* iid : iids)
            if (interfaceCount < MAX_INTERFACES) interfaces[interfaceCount++] = iid;
        ObjectCreated(kind);
    }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (HRESULT hr; Entered<"QueryInterface">(&hr)) return hr;
        if (!out) return E_POINTER;
        *out = nullptr;
        bool known = riid == IID_IUnknown;
        for (int i = 0; i < interfaceCount; ++i) known = known || riid == *interfaces[i];
        void* face = known ? static_cast<Interface*>(this) : OtherFace(riid);
        if (!face) return E_NOINTERFACE;
        *out = face;
        ++refs;
        return S_OK;
    }
    // AddRef and Release cannot fail: an injected fault is counted and changes nothing.
    ULONG STDMETHODCALLTYPE AddRef() override {
        Entered<"AddRef">();
        return ++refs;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Entered<"Release">();
        return Drop();
    }

    // References the stand-in itself takes and gives back (not counted as calls).
    void Hold() { ++refs; }
    ULONG Drop() {
        if (refs == 0) return 0;
        ULONG left = --refs;
        if (left == 0) LastReleased();
        return left;
    }

protected:
    virtual ~ComObject() { ObjectDestroyed(kind); }
    // What the last Release does.
    virtual void LastReleased() { delete this; }
    // A second face of the same object (sharing its count) for an interface not listed.
    virtual void* OtherFace(REFIID) { return nullptr; }

    // Entry of a method: counts "INTERFACE::Method"; true with *result set when a fault was
    // injected for it.
    template <OperationName Method, class Result = long> bool Entered(Result* result = nullptr) {
        return Enter<JoinNames(InterfaceName, Method)>(result);
    }
    // A method whose one answer is `answer` (after the call is counted and any injected fault).
    template <OperationName Method> HRESULT Answer(HRESULT answer) {
        HRESULT hr;
        return Entered<Method>(&hr) ? hr : answer;
    }
    // A method the stand-in does not provide.
    template <OperationName Method> HRESULT NotImplemented() { return Answer<Method>(E_NOTIMPL); }

    ULONG refs = 1;

private:
    static constexpr int MAX_INTERFACES = 4;
    const char* kind;
    const IID* interfaces[MAX_INTERFACES] = {};
    int interfaceCount = 0;
};

} // namespace tarn::platform
