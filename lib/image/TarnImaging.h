/// The system's imaging component for one decode or save: COM initialised on the calling thread
/// for as long as the object lives, and the imaging factory. Released, the factory goes and COM
/// is uninitialised again when this object initialised it.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

class TarnImaging {
public:
    TarnImaging();
    ~TarnImaging();
    TarnImaging(const TarnImaging&) = delete;
    TarnImaging& operator=(const TarnImaging&) = delete;

    /// Null when COM or the component is not available.
    IWICImagingFactory* factory;

private:
    bool uninitialise;
};

/// A stream over a global memory block holding a copy of `size` bytes of `data`; the stream owns
/// the block. Null when the memory or the stream cannot be had. The caller releases the stream.
IStream* TarnStreamOverCopy(const unsigned char* data, int size);

/// Releases a COM object when it goes out of scope.
template <class Interface> class TarnReleased {
public:
    TarnReleased() = default;
    /// Holds `taken` (may be null), taking over the caller's reference.
    explicit TarnReleased(Interface* taken) : object(taken) {}
    ~TarnReleased() {
        if (object) object->Release();
    }
    TarnReleased(const TarnReleased&) = delete;
    TarnReleased& operator=(const TarnReleased&) = delete;

    /// The address of the held pointer, for a call that creates the object into it.
    Interface** operator&() { return &object; }
    /// The held object, for calls on it.
    Interface* operator->() const { return object; }
    /// The held object (null when none); it stays owned by this holder.
    Interface* get() const { return object; }

private:
    Interface* object = nullptr;
};
