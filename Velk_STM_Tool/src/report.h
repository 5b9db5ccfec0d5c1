// The end of a test pass: the list of failed checks, their number, the upload
// of the shield's identifier and the failure register, and a clean register
// for the next shield.
#pragma once

void menu_block_StandReport();
