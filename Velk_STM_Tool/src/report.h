// The end of a test pass: the list of failed checks, their number, the upload
// of the shield's identifier and the failure register, and a clean register
// for the next shield.
#pragma once

void menu_block_StandReport();

// How long, in real time, the uploader may take to end after its last line
// before it is stopped and the upload counted as failed.
inline constexpr unsigned _UPLOAD_WAIT_LIMIT_MS = 20000;
extern unsigned upload_waitLimitMs;  // _UPLOAD_WAIT_LIMIT_MS; tests shorten it

// A new pass begins: link failures seen before it (in the main menu, in an
// earlier pass) are not charged to it.
void report_beginPass();
