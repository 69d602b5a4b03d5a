// COM and the imaging factory for the time of one call. A thread that already runs COM in the
// other threading model (RPC_E_CHANGED_MODE) can still make the factory; it is only not ours to
// uninitialise.
#include "image/TarnImaging.h"

#include <cstring>

TarnImaging::TarnImaging() : factory(nullptr), uninitialise(false) {
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    uninitialise = SUCCEEDED(init);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) return;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
        factory = nullptr;
}

TarnImaging::~TarnImaging() {
    if (factory) factory->Release();
    if (uninitialise) CoUninitialize();
}

IStream* TarnStreamOverCopy(const unsigned char* data, int size) {
    if (!data || size <= 0) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size));
    if (!block) return nullptr;
    void* blockData = GlobalLock(block);
    if (!blockData) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(blockData, data, static_cast<size_t>(size));
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
        GlobalFree(block);
        return nullptr;
    }
    return stream;
}
