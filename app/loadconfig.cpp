// The load-configuration record of Zefirana.exe, compiled only for Windows. Its one setting,
// DependentLoadFlags, makes Windows (10 version 1607 and later) look for the DLLs the program
// imports in the system folder only, never in the program's own folder first: there, anyone who
// can write beside the program (a share, a USB stick) could leave a DLL of the same name.
// GNU ld links the record but leaves the header's load-configuration entry empty:
// tools/windows/set-load-config.py points it here after each link.
#include <windows.h>

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 systemFolderOnly()
{
    IMAGE_LOAD_CONFIG_DIRECTORY64 record{};
    record.Size = sizeof record;
    record.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32; // DependentLoadFlags, under its older name in MinGW-w64
    return record;
}

} // namespace

// Windows' tools know the record by this name; nothing refers to it, hence 'used'.
extern "C" __attribute__((used)) constinit const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = systemFolderOnly();
