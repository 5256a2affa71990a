// The entry point of lxniccfg.dll: on every notification the C run-time's
// locale is set to the ANSI code page; nothing else happens there.
#include <windows.h>

#include <clocale>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    std::setlocale(LC_ALL, ".ACP");
    return TRUE;
}
