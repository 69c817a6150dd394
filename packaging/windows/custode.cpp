// custode.exe: what the setup program and the MSI run, each from its own temporary copy (the
// setup program's plug-in folder, the MSI's binary table), never from the install folder, to keep
// what a school made there. A cue in regione\ whose bytes differ from those the installer wrote
// there is the teacher's recording: no reinstall, repair, upgrade or removal overwrites or
// deletes it. The record of what was installed is in HKLM\Software\Zefirana\Originali (only
// administrators may change it): one value per file installed, named by its path in the folder,
// holding the CRC-32 of the cue as installed (0 for the other files).
//   custode aside DIR    before files are written or removed: each teacher's recording (a cue
//                        that differs from its record, or that has none) becomes NAME.insegnante
//   custode back DIR     after they are written: the recordings put back in place, the record
//                        written anew for the files of this version
//   custode restore DIR  after files are removed by an upgrade: the recordings put back
//   custode remove DIR   removal: the files of the record removed, but the teacher's recordings;
//                        the folders left empty and the record too
//   custode protect DIR  a folder outside Program Files gets its protection: administrators and
//                        the system may change it, users may read and run
// Exit status 0 when done, 2 when a file could not be replaced or removed (the game is open),
// 1 on any other failure.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <shellapi.h>

#include <map>
#include <string>
#include <vector>

#include "custode-files.h"  // kFiles: the files this version installs, by their path in the folder

namespace {

const wchar_t kKey[] = L"Software\\Zefirana\\Originali";
const wchar_t kAside[] = L".insegnante";
const REGSAM kView = KEY_WOW64_64KEY;

using Record = std::map<std::wstring, DWORD>;

bool isCue(const std::wstring& name) { return name.rfind(L"regione\\", 0) == 0; }
bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool crc32(const std::wstring& path, DWORD& crc) {
  static DWORD table[256];
  for (DWORD i = 0; i < 256 && !table[255]; ++i) {
    DWORD c = i;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    table[i] = c;
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  static BYTE buffer[1 << 16];
  DWORD read = 0;
  crc = 0xFFFFFFFFu;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read)
    for (DWORD i = 0; i < read; ++i) crc = table[(crc ^ buffer[i]) & 0xFF] ^ (crc >> 8);
  CloseHandle(file);
  crc = ~crc;
  return true;
}

Record readRecord() {
  Record record;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return record;
  wchar_t name[MAX_PATH];
  for (DWORD i = 0;; ++i) {
    DWORD length = MAX_PATH, value = 0, size = sizeof value, type = 0;
    if (RegEnumValueW(key, i, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
      break;
    if (type == REG_DWORD) record[name] = value;
  }
  RegCloseKey(key);
  return record;
}

// A cue of the folder is the teacher's when it differs from what was installed, or when nothing
// says what was installed (a folder whose record was lost: better keep than destroy).
bool teachers(const std::wstring& dir, const std::wstring& name, const Record& record) {
  DWORD crc;
  auto known = record.find(name);
  return isCue(name) && crc32(dir + name, crc) && (known == record.end() || known->second != crc);
}

std::vector<std::wstring> cues(const std::wstring& dir, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"regione\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(L"regione\\" + std::wstring(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// The recordings set aside put back, each over the file installed in its place; returns them
// with the CRC of what was installed there (what the record keeps for them).
Record putBack(const std::wstring& dir, const Record& record) {
  Record restored;
  for (std::wstring aside : cues(dir, L"*.insegnante")) {
    std::wstring name = aside.substr(0, aside.size() - wcslen(kAside));
    DWORD crc = 0;
    auto known = record.find(name);
    if (crc32(dir + name, crc) || known != record.end()) restored[name] = exists(dir + name) ? crc : known->second;
    if (!MoveFileExW((dir + aside).c_str(), (dir + name).c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
  }
  return restored;
}

int aside(const std::wstring& dir) {
  Record record = readRecord();
  putBack(dir, record);  // left set aside by a run that was stopped half-way
  for (const std::wstring& name : cues(dir, L"*.wav"))
    if (teachers(dir, name, record) &&
        !MoveFileExW((dir + name).c_str(), (dir + name + kAside).c_str(), MOVEFILE_REPLACE_EXISTING))
      return 1;
  return 0;
}

int back(const std::wstring& dir) {
  Record restored = putBack(dir, readRecord());
  HKEY key;
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE | kView, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 1;
  for (const wchar_t* file : kFiles) {
    std::wstring name = file;
    DWORD crc = 0;
    if (!exists(dir + name)) continue;
    if (restored.count(name)) crc = restored[name];
    else if (isCue(name)) crc32(dir + name, crc);
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&crc), sizeof crc);
  }
  RegCloseKey(key);
  return 0;
}

int remove(const std::wstring& dir) {
  Record record = readRecord();
  putBack(dir, record);
  std::vector<std::wstring> doomed;
  for (const auto& [name, crc] : record)
    if (exists(dir + name) && !teachers(dir, name, record)) doomed.push_back(name);
  // Nothing is removed while one of them is open (the game running): all or nothing.
  for (const std::wstring& name : doomed) {
    HANDLE file = CreateFileW((dir + name).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    CloseHandle(file);
  }
  for (const std::wstring& name : doomed)
    if (!DeleteFileW((dir + name).c_str())) return 2;
  for (const auto& [name, crc] : record)
    for (size_t slash = name.rfind(L'\\'); slash != std::wstring::npos; slash = name.rfind(L'\\', slash - 1)) {
      RemoveDirectoryW((dir + name.substr(0, slash)).c_str());
      if (!slash) break;
    }
  RemoveDirectoryW(dir.c_str());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Zefirana");
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Zefirana", kView, 0);
  return 0;
}

int protect(const std::wstring& dir) {
  for (int folder : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
    wchar_t programs[MAX_PATH];
    if (SHGetFolderPathW(nullptr, folder, nullptr, 0, programs) == S_OK &&
        CompareStringOrdinal(dir.c_str(), int(wcslen(programs)) + 1, (std::wstring(programs) + L"\\").c_str(), -1, TRUE) ==
            CSTR_EQUAL)
      return 0;
  }
  // Full control to administrators and the system, read and run to users, nothing inherited
  // from the folder above (at a drive's root, Authenticated Users may change).
  PSECURITY_DESCRIPTOR descriptor;
  PACL acl;
  BOOL present, defaulted;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)",
                                                            SDDL_REVISION_1, &descriptor, nullptr) ||
      !GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted))
    return 1;
  std::wstring path = dir.substr(0, dir.size() - 1);
  DWORD result = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                       DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, acl, nullptr);
  LocalFree(descriptor);
  return result == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (count != 3) return 1;
  // The folder as given, with or without a final backslash or dot ("[INSTALLDIR].").
  wchar_t full[MAX_PATH];
  if (!GetFullPathNameW(argv[2], MAX_PATH, full, nullptr)) return 1;
  std::wstring dir = full, command = argv[1];
  if (dir.back() != L'\\') dir += L'\\';
  if (command == L"aside") return aside(dir);
  if (command == L"back") return back(dir);
  if (command == L"restore") return putBack(dir, readRecord()), 0;
  if (command == L"remove") return remove(dir);
  if (command == L"protect") return protect(dir);
  return 1;
}
