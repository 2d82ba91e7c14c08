#pragma once

// comctl32.dll is not imported: it is loaded at run time from System32 only, so that a planted
// copy beside the executable is never picked up. False with GetLastError set when it cannot be
// loaded or initialised. The module stays loaded for the life of the process.
bool LoadCommonControls();

// Tells the user that a system library is missing and the program cannot run.
void ReportMissingSystemLibrary(const wchar_t* name, unsigned long error);
