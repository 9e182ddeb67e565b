#pragma once
// The child side of the two-process store test (wreg_two_process_win_test.cpp).

namespace kvr::testing {

// Runs "--save-child <ini file> <set 0|1> <rounds> <ready event> <start event>": signals
// ready, waits for start, then saves its value set rounds times. Returns the exit code.
int RunSaveChild(int argc, char** argv);

// Runs "--hold-lock <ini file> <ready event> <die event>": takes the file's INI lock, signals
// ready, waits for die, then ends the process without letting the lock go.
int RunHoldLockChild(int argc, char** argv);

} // namespace kvr::testing
