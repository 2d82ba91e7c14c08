#pragma once

#include <string>

// The main window's title: "TALVERO PELORA FW Updater 3.3 " (the trailing space is part of it).
std::wstring MainWindowTitle();
