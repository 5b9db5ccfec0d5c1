// Guards the running test program against ending before its cases have run
// (see test_main.cpp); armed by the test main for the process it runs in.
#pragma once

void exit_guard_arm();
