#pragma once

#include <sys/types.h>

#include <string>

// A node's type and permission bits as ls shows them: "crw-rw----".
std::wstring FileModeText(mode_t mode);
