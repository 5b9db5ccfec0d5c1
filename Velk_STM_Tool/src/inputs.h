// The shield's digital inputs: the stand drives each through its line (LOW
// asserts it) and asks the shield what it sees.
#pragma once

// Ek, S0, S1: shields numbered up to 26.
void menu_block_EK_S0_S1();

// Ek, S0, S1 and EkS (driven through PIN_STM_INT): shields numbered 27 and up.
void menu_block_EK_S0_S1_EKS();

// The door-open detector input.
void menu_block_OpenDetector();
