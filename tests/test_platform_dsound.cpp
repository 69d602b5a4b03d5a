// The DirectSound stand-in on the headless host: the mixer's exact samples (volume and pan by
// DirectSound's laws, saturation, resampling, loops), the buffer calls' strictness (Lock's two
// parts, sizes, controls), lost buffers when the program leaves the foreground, and a machine
// without a sound device or whose device goes away.
#include "dsound/SoundObjects.h"
#include "support/HeadlessTest.h"

#include "dsound/Mixer.h"

#include <windows.h>
#include <dsound.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

HWND Window() {
    return reinterpret_cast<HWND>(uintptr_t(0x1234));
}

class DirectSoundTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
        ASSERT_EQ(ds->SetCooperativeLevel(Window(), DSSCL_PRIORITY), DS_OK);
    }
    void TearDown() override {
        for (auto* b : made) b->Release();
        if (ds) ds->Release();
        EXPECT_EQ(tarn::platform::LiveObjects("sound"), 0);
        HeadlessTest::TearDown();
    }
    // A 16-bit buffer holding `samples` (interleaved when stereo), at `rate`.
    IDirectSoundBuffer*
    Buffer(const std::vector<int16_t>& samples, int channels = 2, DWORD rate = 44100,
           DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY) {
        WAVEFORMATEX f{
            WAVE_FORMAT_PCM, WORD(channels), rate, rate * 2 * channels, WORD(2 * channels), 16, 0};
        DSBUFFERDESC d{};
        d.dwSize = sizeof d;
        d.dwFlags = flags;
        d.dwBufferBytes = DWORD(samples.size() * 2);
        d.lpwfxFormat = &f;
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        if (!b) return nullptr;
        void *p1, *p2;
        DWORD n1, n2;
        EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        std::memcpy(p1, samples.data(), n1);
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        made.push_back(b);
        return b;
    }
    // The next `frames` frames the device plays.
    std::vector<int16_t> Hear(int frames) { return host->PlayAudio(frames); }

    IDirectSound* ds = nullptr;
    std::vector<IDirectSoundBuffer*> made;
};

int32_t Scaled(int sample, long level) {
    return (sample * tarn::platform::GainForLevel(level)) >> 16;
}

TEST_F(DirectSoundTest, TwoBuffersMixWithVolumeAndPanByDecibels) {
    auto* a = Buffer({1000, 1000, 2000, 2000, -3000, -3000});
    auto* b = Buffer({400, 800, 1200}, 1);
    ASSERT_EQ(a->SetVolume(-600), DS_OK); // about half
    ASSERT_EQ(b->SetPan(-1200), DS_OK);   // right side down by 12 dB
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> heard = Hear(4);
    const int aSamples[3] = {1000, 2000, -3000};
    const int bSamples[3] = {400, 800, 1200};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(heard[i * 2], Scaled(aSamples[i], -600) + bSamples[i]) << i;
        EXPECT_EQ(heard[i * 2 + 1], Scaled(aSamples[i], -600) + Scaled(bSamples[i], -1200)) << i;
    }
    EXPECT_EQ(heard[6], 0); // both ended
    EXPECT_EQ(heard[7], 0);
    EXPECT_NEAR(tarn::platform::GainForLevel(-600) / 65536.0, std::pow(10.0, -0.3), 1e-4);
    DWORD status = 1;
    EXPECT_EQ(a->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
}

TEST_F(DirectSoundTest, SumSaturatesAndMinimumVolumeIsSilent) {
    auto* a = Buffer({30000, -30000});
    auto* b = Buffer({30000, -30000});
    auto* c = Buffer({5000, 5000});
    ASSERT_EQ(c->SetVolume(DSBVOLUME_MIN), DS_OK);
    for (auto* x : {a, b, c}) ASSERT_EQ(x->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> heard = Hear(1);
    EXPECT_EQ(heard[0], 32767);
    EXPECT_EQ(heard[1], -32768);
}

TEST_F(DirectSoundTest, LoopWrapsWithoutGapOrRepeat) {
    auto* a = Buffer({1, 2, 3}, 1);
    ASSERT_EQ(a->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<int16_t> heard = Hear(3000); // across the mixer's pieces too
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(heard[i * 2], 1 + i % 3) << i;
    DWORD status = 0;
    a->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
}

TEST_F(DirectSoundTest, FrequencyResamplesByLinearInterpolation) {
    auto* a = Buffer({0, 1000, 2000, 3000}, 1, 22050);
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> heard = Hear(6);
    const int expected[6] = {0, 500, 1000, 1500, 2000, 2500};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(heard[i * 2], expected[i]) << i;
    ASSERT_EQ(a->SetFrequency(88200), DS_OK); // now two source frames per output frame
    DWORD hz = 0;
    EXPECT_EQ(a->GetFrequency(&hz), DS_OK);
    EXPECT_EQ(hz, 88200u);
}

// Interpolating between full-swing neighbours (65535 apart) at every kind of fraction and gain
// gives the exact sample: the neighbour's share floored, then the gain's share floored.
TEST(Mixer, InterpolatesFullSwingNeighboursExactly) {
    struct Pair {
        int16_t from, to;
    };
    const Pair pairs[] = {{-32768, 32767}, {32767, -32768}, {-32768, 32512}, {100, -100}};
    const uint32_t fractions[] = {0x4000, 0x8000, 0xC000, 0x0001, 0xFFFF};
    const int32_t gains[] = {65536, 32768, 1};
    for (const Pair& p : pairs)
        for (uint32_t frac : fractions)
            for (int32_t gain : gains) {
                int16_t data[2] = {p.from, p.to};
                tarn::platform::Voice v;
                v.data = reinterpret_cast<const uint8_t*>(data);
                v.frames = 2;
                v.channels = 1;
                v.position = uint64_t(frac) << 16;
                v.step = 0;
                v.gainLeft = v.gainRight = gain;
                v.playing = true;
                tarn::platform::Voice* voices[] = {&v};
                int16_t out[2] = {};
                tarn::platform::MixVoices(voices, 1, out, 1);
                const int64_t between =
                    p.from + (int64_t(p.to - p.from) * frac >> 16); // floored share
                const int64_t expected = between * gain >> 16;
                EXPECT_EQ(out[0], expected)
                    << p.from << " to " << p.to << " at " << frac << " gain " << gain;
                EXPECT_EQ(out[1], expected);
            }
    // Three quarters of the way up a full swing at half volume: 8191 (a product in int wraps
    // to -24577).
    int16_t square[2] = {-32768, 32767};
    tarn::platform::Voice v;
    v.data = reinterpret_cast<const uint8_t*>(square);
    v.frames = 2;
    v.channels = 1;
    v.position = uint64_t(3) << 30;
    v.step = 0;
    v.gainLeft = v.gainRight = 32768;
    v.playing = true;
    tarn::platform::Voice* voices[] = {&v};
    int16_t out[2] = {};
    tarn::platform::MixVoices(voices, 1, out, 1);
    EXPECT_EQ(out[0], 8191);
}

// Programs written the Windows way replay an effect by calling Play on a buffer that ended.
TEST_F(DirectSoundTest, AFinishedBufferPlaysAgainFromItsStart) {
    auto* a = Buffer({300, 300, 400, 400});
    auto* slow = Buffer({0, 1000, 2000}, 1, 22050); // resampled, ends on a fraction
    for (auto* b : {a, slow}) {
        ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
        Hear(8);
        DWORD status = 1;
        ASSERT_EQ(b->GetStatus(&status), DS_OK);
        ASSERT_EQ(status, 0u);
        ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
        std::vector<int16_t> again = Hear(2);
        if (b == a)
            EXPECT_EQ(again, (std::vector<int16_t>{300, 300, 400, 400}));
        else
            EXPECT_EQ(again, (std::vector<int16_t>{0, 0, 500, 500}));
        b->Stop();
    }
}

// On a device that mixes on its own thread, a period may be mixed between the program asking
// for the write cursor and writing there: the write cursor leads by that period too, so that
// what is written there is always heard.
TEST_F(DirectSoundTest, TheWriteCursorLeadsByWhatADeviceThreadTakesAtOnce) {
    auto* a = Buffer(std::vector<int16_t>(44100 * 2, 0)); // one second
    ASSERT_EQ(a->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD play = 0, write = 0;
    ASSERT_EQ(a->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(write - play, 441u * 4); // a device that plays only when asked: 10 ms
    std::thread device([&] { host->PlayAudio(1024); });
    device.join();
    ASSERT_EQ(a->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 1024u * 4);
    std::thread again([&] { host->PlayAudio(1024); });
    again.join();
    DWORD after = 0;
    ASSERT_EQ(a->GetCurrentPosition(&after, nullptr), DS_OK);
    EXPECT_LE(after, write) << "the device mixed past the write cursor";
    EXPECT_EQ(write - play, (441u + 1024) * 4);
}

TEST_F(DirectSoundTest, LockGivesTheWrapsTwoPartsAndCursorsFollowTheClock) {
    auto* a = Buffer(std::vector<int16_t>(44100 * 2, 0)); // one second
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(a->Lock(44100 * 4 - 100, 300, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(n2, 200u);
    ASSERT_EQ(a->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(a->Unlock(p1, 1u << 30, nullptr, 0), DSERR_INVALIDPARAM);
    ASSERT_EQ(a->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    host->AdvanceTime(500);
    DWORD play = 0, write = 0;
    ASSERT_EQ(a->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 22050u * 4);
    EXPECT_EQ(write, (22050u + 441) * 4);
    EXPECT_EQ(a->Lock(44100 * 4, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, CallsRefusedAsDirectSoundRefusesThem) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwBufferBytes = 4096;
    d.lpwfxFormat = &f;
    IDirectSoundBuffer* b = nullptr;
    struct Case {
        const char* what;
        void (*change)(DSBUFFERDESC*, WAVEFORMATEX*);
        HRESULT expected;
    };
    const Case cases[] = {
        {"wrong dwSize", [](DSBUFFERDESC* x, WAVEFORMATEX*) { x->dwSize = 12; },
         DSERR_INVALIDPARAM},
        {"3 channels", [](DSBUFFERDESC*, WAVEFORMATEX* w) { w->nChannels = 3; }, DSERR_BADFORMAT},
        {"12 bits", [](DSBUFFERDESC*, WAVEFORMATEX* w) { w->wBitsPerSample = 12; },
         DSERR_BADFORMAT},
        {"too small", [](DSBUFFERDESC* x, WAVEFORMATEX*) { x->dwBufferBytes = 2; },
         DSERR_INVALIDPARAM},
        {"primary with a size",
         [](DSBUFFERDESC* x, WAVEFORMATEX*) { x->dwFlags = DSBCAPS_PRIMARYBUFFER; },
         DSERR_INVALIDPARAM},
    };
    for (const Case& c : cases) {
        DSBUFFERDESC dd = d;
        WAVEFORMATEX ff = f;
        dd.lpwfxFormat = &ff;
        c.change(&dd, &ff);
        EXPECT_EQ(ds->CreateSoundBuffer(&dd, &b, nullptr), c.expected) << c.what;
        EXPECT_EQ(b, nullptr) << c.what;
    }
    // Without the control asked for, the control is unavailable.
    auto* plain = Buffer({0, 0}, 2, 44100, 0);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(100), DSERR_CONTROLUNAVAIL);
    auto* a = Buffer({0, 0});
    EXPECT_EQ(a->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(a->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(a->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(a->Play(1, 0, 0), DSERR_INVALIDPARAM);
    // The primary's format needs the priority level.
    DSBUFFERDESC pd{};
    pd.dwSize = sizeof pd;
    pd.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&pd, &primary, nullptr), DS_OK);
    made.push_back(primary);
    EXPECT_EQ(primary->SetFormat(&f), DS_OK);
    ASSERT_EQ(ds->SetCooperativeLevel(Window(), DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(primary->SetFormat(&f), DSERR_PRIOLEVELNEEDED);
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(ds->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, DWORD(DSBFREQUENCY_MAX));
}

TEST_F(DirectSoundTest, DuplicatesShareMemoryButPlayApart) {
    auto* a = Buffer({100, 100, 200, 200});
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(a, &b), DS_OK);
    made.push_back(b);
    ASSERT_EQ(b->SetPan(DSBPAN_RIGHT), DS_OK); // left silent
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    Hear(1);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> heard = Hear(2);
    EXPECT_EQ(heard[0], 200);       // a's second frame
    EXPECT_EQ(heard[1], 200 + 100); // a's second and b's first
    EXPECT_EQ(heard[2], 0);
    EXPECT_EQ(heard[3], 200);
}

TEST_F(DirectSoundTest, LeavingTheForegroundLosesBuffersUntilRestored) {
    auto* a = Buffer({500, 500, 500, 500});
    ASSERT_EQ(a->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    host->SetFocus(false);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    DWORD status = 0;
    a->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_BUFFERLOST));
    EXPECT_EQ(Hear(2), std::vector<int16_t>(4, 0));
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(a->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(a->Play(0, 0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(a->Restore(), DSERR_BUFFERLOST); // still away
    host->SetFocus(true);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ASSERT_EQ(a->Restore(), DS_OK);
    ASSERT_EQ(a->Lock(0, 8, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_NE(std::memcmp(p1, std::vector<int16_t>(4, 500).data(), 8), 0); // junk, not the sound
    a->Unlock(p1, n1, p2, n2);
}

TEST_F(DirectSoundTest, DeviceGoneWhilePlayingLosesEverything) {
    auto* a = Buffer({700, 700});
    ASSERT_EQ(a->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    host->LoseAudioDevice();
    DWORD status = 0;
    a->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_BUFFERLOST));
    EXPECT_EQ(a->Restore(), DSERR_BUFFERLOST);
    EXPECT_EQ(a->Play(0, 0, 0), DSERR_BUFFERLOST);
    // The device itself says it is gone, unlike a program that is only in the background.
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(ds->GetCaps(&caps), DSERR_NODRIVER);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwBufferBytes = 4096;
    d.lpwfxFormat = &f;
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DSERR_NODRIVER);
}

TEST_F(DirectSoundTest, AwayTheDeviceStillAnswersAndAFreshMachineHasItsSoundBack) {
    auto* a = Buffer({700, 700});
    TakeDisplayAway();
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(ds->GetCaps(&caps), DS_OK);
    a->Release();
    made.clear();
    ds->Release();
    ds = nullptr;
    host = &tarn::platform::UseHeadlessHost(); // a fresh machine
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    ASSERT_EQ(ds->SetCooperativeLevel(Window(), DSSCL_PRIORITY), DS_OK);
    auto* b = Buffer({800, 800});
    DWORD status = 0;
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Hear(1), (std::vector<int16_t>{800, 800}));
}

TEST_F(HeadlessTest, NoSoundDeviceMeansNoDriver) {
    host->SetAudioDevicePresent(false);
    IDirectSound* ds = reinterpret_cast<IDirectSound*>(1);
    EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);
    EXPECT_EQ(tarn::platform::LiveObjects("sound"), 0);
}

} // namespace
