#pragma once

#include <string>
#include <string_view>

// The name of the kernel object by which a program claims the unit at `devicePath`. Windows
// may name one device in another case of A to Z (as a removal's broadcast may), so the name is
// taken from the path with A to Z folded, as paths are compared; it is a hash because a path may
// be longer than an object name may be, and may hold backslashes, which a name may not.
// "Global\\": a copy of the program in another session of another user finds the claim too.
std::wstring UnitClaimName(std::wstring_view devicePath);
