// The COM base library's thread initialisation and object creation: CoInitializeEx counts the
// initialisations of each thread and remembers its threading model, and CoCreateInstance makes
// the classes the stand-in provides in process, once the calling thread has initialised COM.
#include <objbase.h>
#include <wincodec.h>

#include "internal/StandIn.h"
#include "wincodec/Codecs.h"

namespace {

thread_local unsigned t_initialised = 0;
thread_local DWORD t_model = 0;

} // namespace

WINOLEAPI CoInitializeEx(LPVOID, DWORD dwCoInit) {
    if (HRESULT hr; tarn::platform::Enter<"CoInitializeEx">(&hr)) return hr;
    const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_initialised == 0) {
        t_model = model;
        t_initialised = 1;
        return S_OK;
    }
    if (model != t_model) return RPC_E_CHANGED_MODE;
    ++t_initialised;
    return S_FALSE;
}

WINOLEAPI CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize(void) {
    if (tarn::platform::Enter<"CoUninitialize">()) return;
    if (t_initialised > 0) --t_initialised;
}

WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                           LPVOID* ppv) {
    if (HRESULT hr; tarn::platform::Enter<"CoCreateInstance">(&hr)) return hr;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (t_initialised == 0) return CO_E_NOTINITIALIZED;
    if (rclsid != CLSID_WICImagingFactory || !(dwClsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return tarn::platform::CreateImagingFactory(riid, ppv);
}
