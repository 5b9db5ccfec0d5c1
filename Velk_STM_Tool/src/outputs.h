// The shield's switching outputs, checked from the Pi's side alone: the four
// relay channels and the line relay, each switched and read back.
#pragma once

void menu_block_REL();
void menu_block_BR();
