#include "HarmonicInit.h"

#include <cstdio>

namespace {

struct Reference {
  uint8_t shield;
  typeShield type;
  const harmonic_st* spectrum;
};

constexpr Reference kReferences[] = {
    {26, TYPESHIELD_TALVO, &HARMONIC_26TALVO},
    {26, TYPESGIELD_KORDENT, &HARMONIC_26KE},
    {27, TYPESGIELD_KORDENT, &HARMONIC_27KE},
};

}  // namespace

const harmonic_st* harmonic_find(uint8_t shield, typeShield type) {
  for (const Reference& r : kReferences)
    if (r.shield == shield && r.type == type) return r.spectrum;
  return nullptr;
}

uint8_t harmonic_main_init() {
  if (const harmonic_st* found = harmonic_find(shieldSt.shield, shieldSt.type)) {
    harmonic = *found;
    return 0;
  }
  std::printf("Error: Для данного шилда не найден эталонный спектр частот, тест звука не может быть проведен.\n");
  harmonic_NULL();
  return 1;
}
