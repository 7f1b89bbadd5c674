#include "app/win32/win32_desktop.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "app/messages.h"
#include "platform/encoding.h"

namespace win32 {
namespace {

// The open-file record as of version 4.0: up to and including lpTemplateName.
constexpr DWORD kOpenFileNameSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);

// The 32-bit product hands the dialogs the record layouts they have always had.
#if !defined(_WIN64)
static_assert(kOpenFileNameSize == 76, "OPENFILENAMEA as of version 4.0");
static_assert(sizeof(BROWSEINFOA) == 32, "BROWSEINFOA");
#endif

std::wstring wide(std::string_view utf8) {
  return platform::shown_wide(utf8);
}

// The text before the first NUL of a fixed buffer.
std::string until_nul(const char* buffer, std::size_t size) {
  const void* nul = std::memchr(buffer, 0, size);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : size;
  return std::string(buffer, length);
}

}  // namespace

void Win32Desktop::show_message(const std::string& text) {
  MessageBoxW(owner_, wide(text).c_str(), wide(app::text::kMessageTitle).c_str(), MB_OK);
}

void Win32Desktop::set_busy(bool busy) {
  busy_ = busy;
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

std::optional<app::PickedFile> Win32Desktop::pick_pdf_file(const std::string& initial_dir) {
  // One file type: label, NUL, pattern, NUL, and the closing NUL.
  std::string filter = platform::utf8_to_ansi(app::text::kPdfFilterLabel);
  filter.append(1, '\0').append("*.pdf").append(1, '\0').append(1, '\0');
  const std::string title = platform::utf8_to_ansi(app::text::kOpenDialogTitle);
  const std::string initial = platform::utf8_to_ansi(initial_dir);

  // Both buffers start as 254 spaces and a NUL, so the file-name box starts blank.
  char file[255];
  char file_title[255];
  std::memset(file, ' ', sizeof file - 1);
  file[sizeof file - 1] = '\0';
  std::memcpy(file_title, file, sizeof file);

  OPENFILENAMEA record{};
  record.lStructSize = kOpenFileNameSize;
  record.hwndOwner = owner_;
  record.hInstance = instance_;
  record.lpstrFilter = filter.c_str();
  record.lpstrCustomFilter = nullptr;
  record.nMaxCustFilter = 0;
  record.nFilterIndex = 0;
  record.lpstrFile = file;
  record.nMaxFile = sizeof file;
  record.lpstrFileTitle = file_title;
  record.nMaxFileTitle = sizeof file_title;
  record.lpstrInitialDir = initial.c_str();
  record.lpstrTitle = title.c_str();
  record.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;  // 0x1804
  record.lpstrDefExt = nullptr;
  if (GetOpenFileNameA(&record) < 1) return std::nullopt;
  return app::PickedFile{platform::ansi_to_utf8(until_nul(file, sizeof file)),
                         platform::ansi_to_utf8(until_nul(file_title, sizeof file_title))};
}

std::optional<std::string> Win32Desktop::pick_folder() {
  BROWSEINFOA record{};
  record.hwndOwner = owner_;
  record.pidlRoot = nullptr;
  record.pszDisplayName = nullptr;
  record.lpszTitle = nullptr;
  record.ulFlags = BIF_RETURNONLYFSDIRS;
  record.lpfn = nullptr;
  record.lParam = 0;
  record.iImage = 0;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&record);
  if (item == nullptr) return std::nullopt;
  char path[MAX_PATH] = {};
  SHGetPathFromIDListA(item, path);
  CoTaskMemFree(item);
  if (std::memchr(path, 0, sizeof path) == nullptr) return std::nullopt;
  return platform::ansi_to_utf8(until_nul(path, sizeof path));
}

void Win32Desktop::open_address(const std::string& address) {
  const std::string ansi = platform::utf8_to_ansi(address);
  ShellExecuteA(owner_, "open", ansi.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32Desktop::end_process() {
  ExitProcess(0);
}

}  // namespace win32
