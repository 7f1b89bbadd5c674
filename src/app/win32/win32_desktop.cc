#include "app/win32/win32_desktop.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/texts.h"
#include "platform/encoding.h"
#include "platform/text.h"

namespace win32 {
namespace {

// The open-file record as of version 4.0: up to and including lpTemplateName.
constexpr DWORD kOpenFileNameSize =
    offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(OPENFILENAMEW::lpTemplateName);

// The 32-bit product hands the dialogs the record layouts they have always had.
#if !defined(_WIN64)
static_assert(kOpenFileNameSize == 76, "OPENFILENAMEW as of version 4.0");
static_assert(sizeof(BROWSEINFOW) == 32, "BROWSEINFOW");
#endif

// Room for the longest path the system can name (32,767 characters) and its NUL.
constexpr std::size_t kPathRoom = 32768;

// Text that is only shown; paths and addresses go over exactly as they are.
std::wstring wide(std::string_view utf8) {
  return platform::shown_wide(utf8);
}

std::wstring exact(std::string_view utf8) {
  return platform::utf8_to_wide(utf8).value_or(std::wstring());
}

}  // namespace

void Win32Desktop::show_message(const std::string& text) {
  MessageBoxW(owner_, wide(text).c_str(), wide(app::texts::kMessageTitle).c_str(), MB_OK);
}

void Win32Desktop::set_busy(bool busy) {
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

Win32Desktop::~Win32Desktop() {
  if (taskbar_) taskbar_->Release();
}

void Win32Desktop::show_progress(const std::string& caption, int percent) {
  SetWindowTextW(owner_, wide(caption).c_str());
  if (!taskbar_tried_) {
    taskbar_tried_ = true;
    void* list = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ITaskbarList3, &list))) {
      taskbar_ = static_cast<ITaskbarList3*>(list);
      if (FAILED(taskbar_->HrInit())) {
        taskbar_->Release();
        taskbar_ = nullptr;
      }
    }
  }
  // Older systems have no progress on their taskbar; the caption says it there too.
  if (!taskbar_) return;
  if (percent < 0) {
    taskbar_->SetProgressState(owner_, TBPF_NOPROGRESS);
  } else {
    taskbar_->SetProgressValue(owner_, static_cast<ULONGLONG>(percent), 100);
  }
}

void Win32Desktop::post(std::function<void()> task) {
  auto* owned = new std::function<void()>(std::move(task));
  if (!PostMessageW(owner_, kRunTask, 0, reinterpret_cast<LPARAM>(owned))) delete owned;
}

void Win32Desktop::run_task(LPARAM task) {
  std::unique_ptr<std::function<void()>> owned(reinterpret_cast<std::function<void()>*>(task));
  (*owned)();
}

// The file calls of the build take plain paths, which end before MAX_PATH characters.
bool Win32Desktop::usable(const std::wstring& path) {
  if (path.size() < MAX_PATH) return true;
  show_message(platform::fill(app::texts::kPathTooLong, {std::to_string(MAX_PATH - 1)}) +
               platform::wide_to_utf8(path));
  return false;
}

std::optional<app::PickedFile> Win32Desktop::pick_pdf_file(const std::string& initial_dir) {
  // One file type: label, NUL, pattern, NUL, and the closing NUL.
  std::wstring filter = wide(app::texts::kPdfFilterLabel);
  filter.append(1, L'\0').append(L"*.pdf").append(1, L'\0');
  const std::wstring title = wide(app::texts::kOpenDialogTitle);
  const std::wstring initial = exact(initial_dir);

  // Both buffers start as 254 spaces and a NUL, so the file-name box starts blank.
  std::vector<wchar_t> file(kPathRoom, L'\0');
  std::vector<wchar_t> file_title(kPathRoom, L'\0');
  std::fill_n(file.begin(), 254, L' ');
  std::fill_n(file_title.begin(), 254, L' ');

  OPENFILENAMEW record{};
  record.lStructSize = kOpenFileNameSize;
  record.hwndOwner = owner_;
  record.hInstance = instance_;
  record.lpstrFilter = filter.c_str();
  record.lpstrCustomFilter = nullptr;
  record.nMaxCustFilter = 0;
  record.nFilterIndex = 0;
  record.lpstrFile = file.data();
  record.nMaxFile = static_cast<DWORD>(file.size());
  record.lpstrFileTitle = file_title.data();
  record.nMaxFileTitle = static_cast<DWORD>(file_title.size());
  record.lpstrInitialDir = initial.c_str();
  record.lpstrTitle = title.c_str();
  record.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;  // 0x1804
  record.lpstrDefExt = nullptr;
  if (GetOpenFileNameW(&record) < 1) return std::nullopt;
  const std::wstring path = file.data();
  if (!usable(path)) return std::nullopt;
  return app::PickedFile{platform::wide_to_utf8(path), platform::wide_to_utf8(file_title.data())};
}

std::optional<std::string> Win32Desktop::pick_folder() {
  BROWSEINFOW record{};
  record.hwndOwner = owner_;
  record.pidlRoot = nullptr;
  record.pszDisplayName = nullptr;
  record.lpszTitle = nullptr;
  record.ulFlags = BIF_RETURNONLYFSDIRS;
  record.lpfn = nullptr;
  record.lParam = 0;
  record.iImage = 0;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&record);
  if (item == nullptr) return std::nullopt;
  // SHGetPathFromIDListW would drop a path of MAX_PATH characters or more without a word.
  std::vector<wchar_t> path(kPathRoom, L'\0');
  const BOOL got =
      SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
  CoTaskMemFree(item);
  if (!got || !usable(path.data())) return std::nullopt;
  return platform::wide_to_utf8(path.data());
}

void Win32Desktop::open_address(const std::string& address) {
  ShellExecuteW(owner_, L"open", exact(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32Desktop::end_process() {
  ExitProcess(0);
}

}  // namespace win32
