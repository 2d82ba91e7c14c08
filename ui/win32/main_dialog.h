#pragma once

#include <windows.h>

// The dialog procedure of the main dialog (template 110).
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
