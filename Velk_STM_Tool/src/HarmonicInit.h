// The choice of reference spectrum by the shield's number and edition.
#pragma once
#include <cstdint>

#include "Harmonic.h"
#include "records.h"

// The reference of a shield, or nullptr when there is none for it.
const harmonic_st* harmonic_find(uint8_t shield, typeShield type);

// Loads the reference of the shield in shieldSt into `harmonic`: 0 when there
// is one; 1 (after the message, with `harmonic` zeroed) when there is none.
uint8_t harmonic_main_init();
