// A program planted in an install folder by a pupil: when anything runs it, it leaves an empty
// file beside itself, named after it with ".ran" added.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t path[MAX_PATH + 8];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  lstrcpyW(path + length, L".ran");
  CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return 0;
}
