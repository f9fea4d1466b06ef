#pragma once
// The bound of a test's wait on the program, the simulator, a server or the window manager. Such a
// wait returns as soon as its condition holds; the bound only says when a condition that never
// comes fails the test, so it is generous: a sanitizer build beside processes that keep every core
// busy still meets it.
constexpr int kBusyMachineWaitMs = 30000;
