// The scaffolding every COM object of the stand-in stands on: reference counting, the live
// count, QueryInterface over the listed interfaces and a second face, counted and faultable
// IUnknown calls; and the set of live addresses that pointers handed in are checked against.
#include "support/HeadlessTest.h"

#include "internal/AddressSet.h"
#include "internal/ComObject.h"

#include <objidl.h>

#include <random>
#include <set>
#include <vector>

namespace {

using namespace tarn::platform;

const IID IID_ITestThing = {0x1, 0, 0, {}}, IID_ITestThing2 = {0x2, 0, 0, {}},
          IID_ITestOther = {0x3, 0, 0, {}};

struct ITestThing : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Ping() = 0;
};
struct ITestOther : public IUnknown {};

class Thing final : public ComObject<ITestThing, "ITestThing"> {
public:
    explicit Thing(bool* destroyed)
        : ComObject("thing", {&IID_ITestThing, &IID_ITestThing2}), destroyed(destroyed) {}
    ~Thing() override { *destroyed = true; }
    HRESULT STDMETHODCALLTYPE Ping() override {
        if (HRESULT hr; Entered<"Ping">(&hr)) return hr;
        return S_FALSE;
    }
    // A face of its own for ITestOther, as DirectDraw's device has IDirectDraw beside IDirectDraw7.
    struct Other final : public ITestOther {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
        ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
        ULONG STDMETHODCALLTYPE Release() override { return 0; }
    } other;

private:
    void* OtherFace(REFIID riid) override { return riid == IID_ITestOther ? &other : nullptr; }
    bool* destroyed;
};

using ObjectsTest = HeadlessTest;

TEST_F(ObjectsTest, ComObjectCountsReferencesAndAnswersForItsInterfaces) {
    bool destroyed = false;
    Thing* thing = new Thing(&destroyed);
    EXPECT_EQ(LiveObjects("thing"), 1);

    struct Case {
        const IID* iid;
        HRESULT result;
        void* face;
    } cases[] = {
        {&IID_IUnknown, S_OK, static_cast<ITestThing*>(thing)},
        {&IID_ITestThing, S_OK, static_cast<ITestThing*>(thing)},
        {&IID_ITestThing2, S_OK, static_cast<ITestThing*>(thing)},
        {&IID_ITestOther, S_OK, &thing->other},
        {&IID_IStream, E_NOINTERFACE, nullptr},
    };
    ULONG expectedRefs = 1;
    for (const Case& c : cases) {
        void* out = thing;
        EXPECT_EQ(thing->QueryInterface(*c.iid, &out), c.result);
        EXPECT_EQ(out, c.face);
        if (c.result == S_OK) ++expectedRefs;
    }
    EXPECT_EQ(thing->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CallCount("ITestThing::QueryInterface"), 6u);

    // An injected fault answers QueryInterface and methods; AddRef and Release cannot fail.
    InjectFault("ITestThing::QueryInterface", 1, E_OUTOFMEMORY);
    InjectFault("ITestThing::Ping", 1, E_ACCESSDENIED);
    InjectFault("ITestThing::AddRef", 1, E_FAIL);
    void* out = nullptr;
    EXPECT_EQ(thing->QueryInterface(IID_IUnknown, &out), E_OUTOFMEMORY);
    EXPECT_EQ(thing->Ping(), E_ACCESSDENIED);
    EXPECT_EQ(thing->Ping(), S_FALSE);
    EXPECT_EQ(thing->AddRef(), ++expectedRefs);

    while (expectedRefs > 1) EXPECT_EQ(thing->Release(), --expectedRefs);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(thing->Release(), 0u);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(LiveObjects("thing"), 0);
    EXPECT_EQ(CallCount("ITestThing::Release"), 6u);
}

// Members stay found through growth and through removals from the middle of probe runs.
TEST(AddressSet, AgreesWithAnOrderedSetThroughInsertsAndRemovals) {
    std::vector<char> arena(4096);
    std::mt19937 random(5);
    AddressSet set;
    std::set<const void*> reference;
    for (int step = 0; step < 20000; ++step) {
        const void* address = &arena[random() % arena.size()];
        if (random() % 3 == 0) {
            set.Erase(address);
            reference.erase(address);
        } else {
            set.Insert(address);
            reference.insert(address);
        }
        const void* probe = &arena[random() % arena.size()];
        ASSERT_EQ(set.Contains(probe), reference.count(probe) == 1) << "step " << step;
    }
    for (const void* address : reference) EXPECT_TRUE(set.Contains(address));
    EXPECT_FALSE(set.Contains(nullptr));
    EXPECT_FALSE(AddressSet().Contains(arena.data()));
}

} // namespace
