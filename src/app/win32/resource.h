// Resource ids of Tarvello.exe, shared by the .rc file and the window.
#pragma once

#define IDI_TARVELLO 1
#define IDR_BANNER 101
#define IDC_HAND_POINTER 102
