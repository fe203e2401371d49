// The process entry of the game on Linux: main() hands over to the game's
// WinMain, as the Windows C runtime does for a GUI program.
//
// State: the instance handle and the command line given to WinMain, alive
// for the whole run.
//
// An installed program may run set-group-id (Linux games do so to append to
// shared score files). Before anything else runs, such a program keeps its
// extra group only when started in a folder that root owns and only root can
// write (its installed data folder), and never lets the environment point
// the libraries it loads at files to write or code to load with that group.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
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

// Settles a set-group-id start (see the top of the file). Ends the process
// if the group cannot be given up when it must be.
void SettleSetGroupId() {
    const gid_t realGroup = getgid();
    if (getegid() == realGroup) return;
    // Variables that name files SDL or Mesa would write, or read back and
    // trust, with the program's group: the disk audio driver's output and
    // input, the shader cache (llvmpipe keeps machine code there) and the
    // shader dumps. The cache is switched off, as it lives in the player's
    // own folders.
    static const char* const kFileVariables[] = {
        "SDL_DISKAUDIOFILE",     "SDL_DISKAUDIOFILEIN",   "MESA_SHADER_CACHE_DIR",   "MESA_GLSL_CACHE_DIR",
        "MESA_SHADER_DUMP_PATH", "MESA_SHADER_READ_PATH", "MESA_SHADER_CAPTURE_PATH"};
    for (const char* name : kFileVariables) unsetenv(name);
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
    int code = WinMain(&g_instance, NULL, &cmdline[0], SW_SHOWDEFAULT);
    // As when a Windows program returns from WinMain: the process ends with
    // that code at once, without waiting for or tearing down threads that are
    // still running (the audio mixer, for one, is never shut down by the game).
    fflush(NULL);
    _exit(code);
}
