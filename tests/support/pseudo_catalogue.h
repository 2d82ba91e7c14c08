#pragma once

#include <cstddef>

#include "texts/message_catalogue.h"

// The program's catalogue with the pseudo-language besides its own languages (tests only).
const CatalogueTable& PseudoCatalogueTable();
// The index of the pseudo-language in that table.
std::size_t PseudoLanguageIndex();
