#include "HarmonicInit.h"

#include <cstdio>

namespace {

struct Reference {
  uint8_t shield;
  typeShield type;
  const harmonic_st* spectrum;
  void (*load)();
};

constexpr Reference kReferences[] = {
    {26, TYPESHIELD_TALVO, &HARMONIC_26TALVO, harmonic_26TALVO_init},
    {26, TYPESGIELD_KORDENT, &HARMONIC_26KE, harmonic_26KE_init},
    {27, TYPESGIELD_KORDENT, &HARMONIC_27KE, harmonic_27KE_init},
};

const Reference* find(uint8_t shield, typeShield type) {
  for (const Reference& r : kReferences)
    if (r.shield == shield && r.type == type) return &r;
  return nullptr;
}

}  // namespace

const harmonic_st* harmonic_find(uint8_t shield, typeShield type) {
  const Reference* r = find(shield, type);
  return r ? r->spectrum : nullptr;
}

uint8_t harmonic_main_init() {
  if (const Reference* r = find(shieldSt.shield, shieldSt.type)) {
    r->load();
    return 0;
  }
  std::printf("Error: Для данного шилда не найден эталонный спектр частот, тест звука не может быть проведен.\n");
  harmonic_NULL();
  return 1;
}
