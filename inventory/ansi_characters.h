// Character boundaries of ANSI texts in the system's code page. On a double-byte code page
// (932, 936, 949, 950) the trail byte of a character may equal "\" or a letter, so a text is
// cut or read from its end only at a boundary that the system's lead bytes give.
#pragma once
#include <cstddef>
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

// The text cut to at most maxBytes bytes without splitting a double-byte character.
std::string CutToWholeCharacters(InventorySystem& system, const std::string& text, size_t maxBytes);

// Whether the last character of the text, not merely its last byte, is "\".
bool EndsWithBackslash(InventorySystem& system, const std::string& text);

}  // namespace lurvik
