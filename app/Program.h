#pragma once
// The program's run: start-up, the event loop until either window asks to close, and
// shutdown. Needs a QApplication; returns the exit code, which is always 0.

namespace lumivex {

int runProgram();

} // namespace lumivex
