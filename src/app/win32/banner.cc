#include "app/win32/banner.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>

#include "app/win32/resource.h"

namespace win32 {

HBITMAP load_banner(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDR_BANNER), MAKEINTRESOURCEW(10));
  if (!found) return nullptr;
  const DWORD size = SizeofResource(instance, found);
  const void* bytes = LockResource(LoadResource(instance, found));
  if (!bytes || size == 0) return nullptr;

  // The loader reads from a stream; the stream owns its copy of the bytes.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return nullptr;
  std::memcpy(GlobalLock(memory), bytes, size);
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    return nullptr;
  }
  IPicture* picture = nullptr;
  HBITMAP copy = nullptr;
  if (SUCCEEDED(OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                               reinterpret_cast<void**>(&picture)))) {
    OLE_HANDLE handle = 0;
    // The picture owns its bitmap; keep a copy of our own that outlives it.
    if (SUCCEEDED(picture->get_Handle(&handle))) {
      copy = static_cast<HBITMAP>(CopyImage(
          reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, 0));
    }
    picture->Release();
  }
  stream->Release();
  return copy;
}

void draw_banner(HDC dc, HBITMAP banner, int dpi) {
  BITMAP info{};
  if (!GetObjectW(banner, sizeof info, &info)) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, banner);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchBlt(dc, 0, 0, MulDiv(info.bmWidth, dpi, 96), MulDiv(info.bmHeight, dpi, 96), memory, 0, 0,
             info.bmWidth, info.bmHeight, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

}  // namespace win32
