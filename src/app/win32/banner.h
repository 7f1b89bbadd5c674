// The banner picture: a JPEG built into the program, decoded once by the system's own
// picture loader.
#pragma once

#include <windows.h>

namespace win32 {

// The decoded banner, or null when it cannot be decoded (the box then stays empty).
HBITMAP load_banner(HINSTANCE instance);

// Draws the picture with its top-left corner at the client area's, at its own size times
// dpi / 96.
void draw_banner(HDC dc, HBITMAP banner, int dpi);

}  // namespace win32
