// The kernel part of the stand-in as the library relies on it: files opened for shared reading,
// sized and read whole; bitmap resources embedded into this executable (see tests/CMakeLists.txt);
// global memory blocks; MulDiv's rounding; processor information; debugger output; the clock;
// and the real error results for bad arguments, with nothing left alive afterwards.
#include "support/HeadlessTest.h"

#include <intrin.h>
#include <mmsystem.h>
#include <winbase.h>
#include <winuser.h>

#include <climits>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<unsigned char> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

class KernelTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        char pattern[] = "/tmp/tarn_kernel_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        liveBefore = tarn::platform::LiveObjects();
    }
    void TearDown() override {
        EXPECT_EQ(tarn::platform::LiveObjects(), liveBefore) << "a stand-in object leaked";
        std::string command = "rm -rf '" + folder + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        HeadlessTest::TearDown();
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    HANDLE OpenRead(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::string folder;
    int liveBefore = 0;
};

TEST_F(KernelTest, FileIsOpenedSizedReadWholeAndClosed) {
    std::string path = Write("picture.bin", "0123456789");
    HANDLE file = OpenRead(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(tarn::platform::LiveObjects("file"), 1);

    DWORD high = 77;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);
    char buffer[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, buffer, 10, &read, nullptr));
    EXPECT_EQ(read, 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    // At the end, and for a count of 0, a read succeeds with nothing.
    EXPECT_TRUE(ReadFile(file, buffer, 4, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(ReadFile(file, buffer, 0, &read, nullptr));
    EXPECT_EQ(read, 0u);

    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(tarn::platform::LiveObjects("file"), 0);
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(KernelTest, SizeIsTheLowHalfOfALargeFile) {
    std::string path = Write("large.bin", "");
    // A sparse file of 4 GiB + 5 bytes: GetFileSize gives 5 and the high part 1.
    ASSERT_EQ(truncate(path.c_str(), (off_t)0x100000005LL), 0);
    HANDLE file = OpenRead(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 0;
    EXPECT_EQ(GetFileSize(file, nullptr), 5u);
    EXPECT_EQ(GetFileSize(file, &high), 5u);
    EXPECT_EQ(high, 1u);
    CloseHandle(file);
}

TEST_F(KernelTest, OpenFailuresGiveTheRealErrors) {
    mkdir((folder + "/sub").c_str(), 0755);
    struct Case {
        std::string name;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {folder + "/missing.bmp", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {folder + "/nofolder/x.bmp", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {folder + "/sub", OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {folder + "/x.bmp", 0, ERROR_INVALID_PARAMETER},
        {folder + "/x.bmp", 9, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE file = CreateFileA(c.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(KernelTest, NamesAreFoundRegardlessOfCaseAndBackslashes) {
    mkdir((folder + "/Pictures").c_str(), 0755);
    Write("Pictures/Landskap.BMP", "BMxx");
    std::string windowsName = folder + "\\pictures\\LANDSKAP.bmp";
    HANDLE file = OpenRead(windowsName);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, nullptr), 4u);
    CloseHandle(file);
}

// Shared reading lets readers in and keeps writers out; a refused writer truncates nothing.
TEST_F(KernelTest, SharedReadExcludesWriters) {
    std::string path = Write("shared.bin", "keep me");
    HANDLE first = OpenRead(path);
    HANDLE second = OpenRead(path);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);

    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetFileSize(first, nullptr), 7u);

    // A reader that does not share reading is refused while others read.
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);

    CloseHandle(first);
    CloseHandle(second);
    writer = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(writer, "new", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    // Reading from a handle opened only for writing is refused.
    char buffer[4];
    DWORD read = 9;
    EXPECT_FALSE(ReadFile(writer, buffer, 3, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(writer);
    EXPECT_EQ(ReadWhole(path), std::vector<unsigned char>({'n', 'e', 'w'}));
}

// Renaming replaces a file only when asked, and neither a rename nor a delete touches a file
// this process holds open.
TEST_F(KernelTest, FilesAreRenamedAndDeletedWithWindowsRules) {
    const std::string a = Write("a.txt", "aaa"), b = Write("b.txt", "bb");
    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadWhole(b).size(), 3u);
    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    HANDLE held = OpenRead(b);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(b.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    const std::string c = Write("c.txt", "c");
    EXPECT_FALSE(MoveFileExA(c.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(held);
    EXPECT_TRUE(DeleteFileA((folder + "/B.TXT").c_str())); // names found regardless of case
    EXPECT_FALSE(DeleteFileA(b.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA(folder.c_str())); // a folder is no file
    EXPECT_FALSE(DeleteFileA(nullptr));
    EXPECT_FALSE(MoveFileExA(nullptr, c.c_str(), 0));
}

TEST_F(KernelTest, BadFileHandlesAndArgumentsAreRefused) {
    std::string path = Write("small.bin", "abc");
    HANDLE open = OpenRead(path);
    int notAHandle = 0;
    HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, (HANDLE)&notAHandle};
    char buffer[4];
    DWORD read = 0;
    for (HANDLE h : bad) {
        EXPECT_FALSE(ReadFile(h, buffer, 3, &read, nullptr));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        DWORD written = 9;
        EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    }
    EXPECT_FALSE(ReadFile(open, buffer, 3, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReadFile(open, nullptr, 3, &read, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOACCESS);
    // Writing checks the same arguments, then refuses a handle opened only for reading.
    DWORD written = 9;
    EXPECT_FALSE(WriteFile(open, "x", 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WriteFile(open, nullptr, 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOACCESS);
    EXPECT_FALSE(WriteFile(open, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    // An overlapped offset places the read and receives the count.
    OVERLAPPED at = {};
    at.Offset = 1;
    EXPECT_TRUE(ReadFile(open, buffer, 2, &read, &at));
    EXPECT_EQ(std::string(buffer, 2), "bc");
    EXPECT_EQ(at.InternalHigh, 2u);
    CloseHandle(open);
    EXPECT_EQ(ReadWhole(path), std::vector<unsigned char>({'a', 'b', 'c'})) << "nothing written";
}

// The Nth call fails with the injected code as its last error; the calls around it work.
TEST_F(KernelTest, InjectedFaultFailsExactlyTheNthCall) {
    std::string path = Write("faulty.bin", "abc");
    tarn::platform::InjectFault("CreateFileA", 2, ERROR_TOO_MANY_OPEN_FILES);
    HANDLE first = OpenRead(path);
    HANDLE second = OpenRead(path);
    HANDLE third = OpenRead(path);
    EXPECT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_NE(third, INVALID_HANDLE_VALUE);
    EXPECT_EQ(tarn::platform::CallCount("CreateFileA"), 3u);

    tarn::platform::InjectFault("ReadFile", 1, ERROR_INVALID_DATA);
    char buffer[4];
    DWORD read = 5;
    EXPECT_FALSE(ReadFile(first, buffer, 3, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_DATA);
    EXPECT_TRUE(ReadFile(first, buffer, 3, &read, nullptr));
    CloseHandle(first);
    CloseHandle(third);
}

// The bitmap resources this executable was built with: the file without its 14-byte header.
TEST_F(KernelTest, EmbeddedBitmapIsFoundByNameWithoutItsFileHeader) {
    std::vector<unsigned char> file = ReadWhole(TARN_TEST_DATA "/bmpsuite/g/pal8.bmp");
    ASSERT_GT(file.size(), 14u);
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    for (HMODULE module : {(HMODULE) nullptr, self}) {
        HRSRC info = FindResourceA(module, "PAL8", RT_BITMAP); // names ignore case
        ASSERT_NE(info, nullptr);
        HGLOBAL loaded = LoadResource(module, info);
        ASSERT_NE(loaded, nullptr);
        auto* data = static_cast<const unsigned char*>(LockResource(loaded));
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(SizeofResource(module, info), file.size() - 14);
        EXPECT_TRUE(std::equal(file.begin() + 14, file.end(), data));
    }
    // "#7" and MAKEINTRESOURCE(7) name the same numbered resource.
    HRSRC numbered = FindResourceA(nullptr, MAKEINTRESOURCEA(7), RT_BITMAP);
    EXPECT_NE(numbered, nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "#7", RT_BITMAP), numbered);
}

TEST_F(KernelTest, MissingResourcesAndFaultsGiveNull) {
    struct Case {
        HMODULE module;
        LPCSTR name;
        LPCSTR type;
        DWORD error;
    } cases[] = {
        {nullptr, "landskap.bmp", RT_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
        {nullptr, "Pal8", RT_ICON, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {nullptr, nullptr, RT_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
        {(HMODULE)(uintptr_t)0x12340000, "Pal8", RT_BITMAP, ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindResourceA(c.module, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    int junk = 0;
    EXPECT_EQ(LoadResource(nullptr, (HRSRC)&junk), nullptr);
    EXPECT_EQ(LockResource(&junk), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);

    HRSRC info = FindResourceA(nullptr, "Pal8", RT_BITMAP);
    ASSERT_NE(info, nullptr);
    tarn::platform::InjectFault("LoadResource", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(LoadResource(nullptr, info), nullptr);
    HGLOBAL loaded = LoadResource(nullptr, info);
    ASSERT_NE(loaded, nullptr);
    tarn::platform::InjectFault("LockResource", 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(LockResource(loaded), nullptr);
    EXPECT_NE(LockResource(loaded), nullptr);
}

TEST_F(KernelTest, MovableBlockLocksCountAndFreeReleasesIt) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(tarn::platform::LiveObjects("global"), 1);
    EXPECT_EQ(GlobalSize(block), 64u);
    auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0] | bytes[63], 0);
    bytes[10] = 42;
    EXPECT_EQ(GlobalLock(block), bytes);
    EXPECT_TRUE(GlobalUnlock(block)); // still locked once
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), (DWORD)NO_ERROR);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);

    // Growing an unlocked movable block keeps its handle and its contents.
    EXPECT_EQ(GlobalReAlloc(block, 4096, GMEM_MOVEABLE), block);
    bytes = static_cast<unsigned char*>(GlobalLock(block));
    EXPECT_EQ(bytes[10], 42);
    GlobalUnlock(block);

    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(tarn::platform::LiveObjects("global"), 0);
    EXPECT_EQ(GlobalFree(block), block); // a stale handle is refused, not followed
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GlobalLock(block), nullptr);
}

TEST_F(KernelTest, GlobalBlockEdgeCases) {
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 16);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(GlobalLock(fixed), fixed); // a fixed block's handle is its memory
    EXPECT_EQ(GlobalFree(fixed), nullptr);

    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalLock(empty), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISCARDED);
    EXPECT_EQ(GlobalFree(empty), nullptr);

    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)1 << 40), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    tarn::platform::InjectFault("GlobalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 8), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

// Rounded half away from zero, as Windows does; -1 on division by 0 or overflow.
TEST(MulDivTest, RoundsToNearestAndReportsOverflow) {
    struct Case {
        int number, numerator, denominator, result;
    } cases[] = {
        {1, 1, 2, 1},
        {-1, 1, 2, -1},
        {3, 1, 2, 2},
        {5, 2, 4, 3},
        {-5, 2, 4, -3},
        {-7, 1, -2, 4},
        {4, 1, 3, 1},
        {5, 1, 3, 2},
        {2540, 96, 2540, 96},
        {1270, 96, 2540, 48},
        {1000, 120, 2540, 47},
        {7, 3, 0, -1},
        {INT_MAX, 2, 1, -1},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {INT_MIN, 1, 1, INT_MIN},
        {INT_MIN, -1, 1, -1},
        {0, 5, 7, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.result)
            << c.number << " * " << c.numerator << " / " << c.denominator;
}

TEST_F(KernelTest, ProcessorInformationAndCpuid) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_NE(info.dwProcessorType, (DWORD)PROCESSOR_INTEL_386);
    EXPECT_NE(info.dwProcessorType, (DWORD)PROCESSOR_INTEL_486);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_GT(info.dwPageSize, 0u);
    GetSystemInfo(nullptr); // no crash
    // A fault makes the machine report the code as its processor type.
    tarn::platform::InjectFault("GetSystemInfo", 1, PROCESSOR_INTEL_486);
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwProcessorType, (DWORD)PROCESSOR_INTEL_486);

    int regs[4] = {};
    __cpuid(regs, 0);
    EXPECT_GE(regs[0], 1); // the highest leaf
    __cpuid(regs, 1);
    EXPECT_NE(regs[3] & (1 << 23), 0); // every x86-64 processor has MMX
}

TEST_F(KernelTest, DebugOutputIsCapturedAndTheClockIsTheHosts) {
    OutputDebugStringA("Error: one\n");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("two");
    EXPECT_EQ(host->DebugText(), "Error: one\ntwo");

    // The clock wraps at 2^32, and unsigned differences across the wrap stay right.
    host->SetTime(0xFFFFFFF0u);
    DWORD before = timeGetTime();
    host->AdvanceTime(0x20);
    DWORD after = timeGetTime();
    EXPECT_EQ(after, 0x10u);
    EXPECT_EQ(after - before, 0x20u);
    EXPECT_EQ(GetTickCount(), after);

    SetLastError(1234);
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(GetModuleHandleA("no-such-module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST_F(KernelTest, ModuleFileNameIsTheProgramsPathCutToTheBuffer) {
    char whole[4096];
    const ssize_t length = readlink("/proc/self/exe", whole, sizeof whole - 1);
    ASSERT_GT(length, 4);
    whole[length] = '\0';
    const DWORD size = static_cast<DWORD>(length);

    char name[4096];
    for (HMODULE module : {(HMODULE) nullptr, GetModuleHandleA(nullptr)}) {
        std::memset(name, 'x', sizeof name);
        EXPECT_EQ(GetModuleFileNameA(module, name, sizeof name), size);
        EXPECT_STREQ(name, whole);
    }
    // Exactly the name's length leaves no room for the end: cut by one, as is a shorter buffer.
    for (DWORD given : {size, 4u}) {
        std::memset(name, 'x', sizeof name);
        SetLastError(0);
        EXPECT_EQ(GetModuleFileNameA(nullptr, name, given), given);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(std::string(name), std::string(whole, given - 1));
    }

    struct Case {
        HMODULE module;
        char* buffer;
        DWORD size;
        DWORD error;
    } cases[] = {
        {(HMODULE)(uintptr_t)0x1234, name, sizeof name, ERROR_MOD_NOT_FOUND},
        {nullptr, nullptr, 16, ERROR_INVALID_PARAMETER},
        {nullptr, name, 0, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(GetModuleFileNameA(c.module, c.buffer, c.size), 0u);
        EXPECT_EQ(GetLastError(), c.error);
    }
    tarn::platform::InjectFault("GetModuleFileNameA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetModuleFileNameA(nullptr, name, sizeof name), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
}

} // namespace
