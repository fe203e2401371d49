// The process entry of the game on this platform: hands over to WinMain and
// returns its result as the exit status.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; i++) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain((HINSTANCE)1, NULL, &commandLine[0], SW_SHOWDEFAULT);
}
