// The process entry of the game on Linux: main() hands over to the game's
// WinMain, as the Windows C runtime does for a GUI program.
//
// State: the instance handle and the command line given to WinMain, alive
// for the whole run.
//
// An installed program may run set-group-id (Linux games do so to append to
// shared score files). Before anything else runs, such a program keeps its
// extra group only when started in a folder that root owns and only root can
// write (its installed data folder), and passes on only the environment
// needed to reach the display and the sound, so that no variable can point
// the libraries it loads at code to load or files to write with that group.
#include <windows.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

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

// True for the environment variables a set-group-id start passes on: what
// it takes to reach the display, the sound server and the player's locale,
// and the layer's own choice of video and audio driver. Everything else,
// above all the many variables with which SDL, libGL, EGL and Mesa can be
// told to load a library or to write a file, is dropped.
bool KeptInSetGroupIdStart(const std::string& name) {
    static const char* const kKept[] = {"DISPLAY",
                                        "XAUTHORITY",
                                        "WAYLAND_DISPLAY",
                                        "XDG_RUNTIME_DIR",
                                        "XDG_SESSION_TYPE",
                                        "PULSE_SERVER",
                                        "PIPEWIRE_REMOTE",
                                        "HOME",
                                        "USER",
                                        "LOGNAME",
                                        "PATH",
                                        "LANG",
                                        "LANGUAGE",
                                        "TZ",
                                        "SDL_VIDEODRIVER",
                                        "SDL_AUDIODRIVER"};
    for (const char* kept : kKept) {
        if (name == kept) return true;
    }
    return name.compare(0, 3, "LC_") == 0;
}

// Settles a set-group-id start (see the top of the file). Ends the process
// if the group cannot be given up when it must be.
void SettleSetGroupId() {
    const gid_t realGroup = getgid();
    if (getegid() == realGroup) return;
    std::vector<std::string> dropped;
    for (char** entry = environ; *entry != NULL; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (!KeptInSetGroupIdStart(name)) dropped.push_back(name);
    }
    for (const std::string& name : dropped) unsetenv(name.c_str());
    // Mesa keeps its shader cache in the player's own folders, and llvmpipe
    // caches machine code there: not to be loaded with the program's group.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    setenv("MESA_GLSL_CACHE_DISABLE", "true", 1);
    // Elsewhere than in a root-only folder the files the program reads and
    // writes by relative path are the player's own: the group is not needed.
    struct stat folder;
    const bool rootOnly = stat(".", &folder) == 0 && folder.st_uid == 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    if (!rootOnly && setresgid(realGroup, realGroup, realGroup) != 0) {
        perror("cannot give up the program's group");
        _exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    SettleSetGroupId();
    static std::string cmdline = CommandLine(argc, argv);
    // A write past the file-size limit fails with ERROR_DISK_FULL, as on
    // Windows, instead of killing the program.
    signal(SIGXFSZ, SIG_IGN);
    int code = WinMain(&g_instance, NULL, &cmdline[0], SW_SHOWDEFAULT);
    // As when a Windows program returns from WinMain: the process ends with
    // that code at once, without waiting for or tearing down threads that are
    // still running (none of the game's: its Uninit has shut down the audio).
    fflush(NULL);
    _exit(code);
}
