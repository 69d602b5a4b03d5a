// The process entry point of a Windows GUI program on this platform: main() hands the program
// its module handle, its command line (the arguments after the program's name, joined by
// spaces, quoted where they hold spaces) and the default show command, and returns WinMain's
// exit code.
#include <winbase.h>
#include <winuser.h>

#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        bool quote = std::string(argv[i]).find_first_of(" \t") != std::string::npos;
        if (quote) commandLine += '"';
        commandLine += argv[i];
        if (quote) commandLine += '"';
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
