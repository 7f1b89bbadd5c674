// Stands in for the PDF viewer in the window's tests: the test prefix sends every opened
// .pdf here, and it writes down the path it was given (UTF-16) in the file that
// TARVELLO_OPENED names, whole or not at all.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  wchar_t record[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"TARVELLO_OPENED", record, MAX_PATH);
  if (!words || count != 2 || n == 0 || n >= MAX_PATH) return 2;
  const std::wstring part = std::wstring(record) + L".part";
  HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const std::wstring path = words[1];
  BOOL ok = WriteFile(file, path.data(), static_cast<DWORD>(path.size() * sizeof(wchar_t)),
                      &written, nullptr);
  CloseHandle(file);
  if (!ok || !MoveFileExW(part.c_str(), record, MOVEFILE_REPLACE_EXISTING)) return 1;
  return 0;
}
