#pragma once

#include <string>

// The main window's title (the Windows dialog's and the page's): "TALVERO PELORA FW Updater 3.3 "
// (the trailing space is part of it).
std::wstring MainWindowTitle();
