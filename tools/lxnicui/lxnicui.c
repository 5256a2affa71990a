/* lxnicui.dll stands for a front end's UI module: it carries the version
 * resource that saved scripts name as the utility version, and no code. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
