// What every imaging-component object of the stand-in shares: a reference count, a place in the
// live-object count, QueryInterface over the interfaces it lists, and calls counted (and open to
// injected faults) under the operation names "INTERFACE::METHOD".
#pragma once

#include <wincodec.h>

#include "internal/StandIn.h"

#include <cstdio>
#include <initializer_list>

namespace tarn::platform {

// Counts the call of `method` on `interface`; true with *result set when a fault was injected.
inline bool EnterWic(const char* interface, const char* method, HRESULT* result) {
    char operation[96];
    std::snprintf(operation, sizeof operation, "%s::%s", interface, method);
    long code;
    if (!Enter(operation, &code)) return false;
    *result = (HRESULT)code;
    return true;
}

template <class Interface> class WicObject : public Interface {
public:
    WicObject(const char* interfaceName, std::initializer_list<const IID*> iids)
        : name(interfaceName) {
        for (const IID* iid : iids)
            if (count < kMaxInterfaces) interfaces[count++] = iid;
        ObjectCreated("imaging");
    }
    virtual ~WicObject() { ObjectDestroyed("imaging"); }
    WicObject(const WicObject&) = delete;
    WicObject& operator=(const WicObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        HRESULT hr;
        if (EnterWic(name, "QueryInterface", &hr)) return hr;
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        bool known = riid == IID_IUnknown;
        for (int i = 0; i < count; ++i) known = known || riid == *interfaces[i];
        if (!known) return E_NOINTERFACE;
        *ppv = static_cast<Interface*>(this);
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        HRESULT ignored;
        EnterWic(name, "AddRef", &ignored);
        return ++refs;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        HRESULT ignored;
        EnterWic(name, "Release", &ignored);
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }

protected:
    // Entry of a method: true with *result set when a fault was injected.
    bool Entered(const char* method, HRESULT* result) const {
        return EnterWic(name, method, result);
    }
    // A method whose one answer is `answer` (after the call is counted and any injected fault).
    HRESULT Answer(const char* method, HRESULT answer) const {
        HRESULT hr;
        return Entered(method, &hr) ? hr : answer;
    }
    // A method the stand-in does not provide.
    HRESULT NotImplemented(const char* method) const { return Answer(method, E_NOTIMPL); }
    // A method whose answer for PNG is that PNG has no such thing (a thumbnail, a preview ...).
    HRESULT Unsupported(const char* method) const {
        return Answer(method, WINCODEC_ERR_UNSUPPORTEDOPERATION);
    }

private:
    static constexpr int kMaxInterfaces = 3;
    const char* name;
    const IID* interfaces[kMaxInterfaces] = {};
    int count = 0;
    ULONG refs = 1;
};

} // namespace tarn::platform
