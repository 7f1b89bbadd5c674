// Tarvello.exe: the window. It reads no command line.
#include <objbase.h>
#include <windows.h>

#include "app/win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  // The folder browser and the picture loader want COM on this thread.
  OleInitialize(nullptr);
  win32::MainWindow window(instance);
  return window.run(show_command);
}
