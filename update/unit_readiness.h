#pragma once

#include "protocol/unit_identity.h"

// What an identified unit allows, judged in this order: a unit in the wrong mode, then a ready
// ESC of a supported type, then a ready ESC of another type, then no updatable ESC.
enum class UnitReadiness { WrongMode, Ready, IncompatibleEsc, NoEsc };

UnitReadiness JudgeUnit(const UnitIdentity& identity);
