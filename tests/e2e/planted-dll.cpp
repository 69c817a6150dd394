// A DLL planted beside the program under the name of one it loads while it runs: loaded, it ends
// the program at once with status 77.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ExitProcess(77);
    return TRUE;
}
