// The process entry point of a Windows GUI program on this platform: main() hands the program
// its module handle, its command line (the arguments after the program's name, joined by
// spaces, quoted where they hold spaces) and the default show command, and returns WinMain's
// exit code.
//
// The recording flags are the platform's, not the program's: --record FILE, --replay FILE,
// --dump DIR, --from N and --to M are taken out of the command line and handed to the host
// through the environment (TARN_RECORD, TARN_REPLAY, TARN_DUMP, TARN_DUMP_FROM, TARN_DUMP_TO),
// so that every program may be recorded and replayed without a line of its own.
#include <winbase.h>
#include <winuser.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Flag {
    const char* name;
    const char* variable;
};

constexpr Flag FLAGS[] = {{"--record", "TARN_RECORD"},
                          {"--replay", "TARN_REPLAY"},
                          {"--dump", "TARN_DUMP"},
                          {"--from", "TARN_DUMP_FROM"},
                          {"--to", "TARN_DUMP_TO"}};

} // namespace

int main(int argc, char** argv) {
    std::string commandLine;
    bool first = true;
    for (int i = 1; i < argc; ++i) {
        const Flag* flag = nullptr;
        for (const Flag& f : FLAGS)
            if (std::strcmp(argv[i], f.name) == 0) flag = &f;
        if (flag) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "%s: %s needs a value\n", argv[0], flag->name);
                return 2;
            }
            setenv(flag->variable, argv[++i], 1);
            continue;
        }
        if (!first) commandLine += ' ';
        first = false;
        bool quote = std::string(argv[i]).find_first_of(" \t") != std::string::npos;
        if (quote) commandLine += '"';
        commandLine += argv[i];
        if (quote) commandLine += '"';
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
