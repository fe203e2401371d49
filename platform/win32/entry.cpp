// The process entry of the game on Linux: main() hands over to the game's
// WinMain, as the Windows C runtime does for a GUI program.
//
// State: the instance handle and the command line given to WinMain, alive
// for the whole run.
#include <windows.h>

#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

namespace {

struct HINSTANCE__ g_instance;  // stands for the executable's module

// The arguments after the program name, quoted where they hold spaces, as
// Windows passes lpCmdLine.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        std::string arg = argv[i];
        if (arg.find_first_of(" \t") != std::string::npos || arg.empty())
            line += '"' + arg + '"';
        else
            line += arg;
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    static std::string cmdline = CommandLine(argc, argv);
    // A write past the file-size limit fails with ERROR_DISK_FULL, as on
    // Windows, instead of killing the program.
    signal(SIGXFSZ, SIG_IGN);
    int code = WinMain(&g_instance, NULL, &cmdline[0], SW_SHOWDEFAULT);
    // As when a Windows program returns from WinMain: the process ends with
    // that code at once, without waiting for or tearing down threads that are
    // still running (the audio mixer, for one, is never shut down by the game).
    fflush(NULL);
    _exit(code);
}
