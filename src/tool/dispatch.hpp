// The command line: the number of arguments and the first of them choose one of the four modes.
#pragma once

namespace levelkit {

// Runs the mode that the arguments name and returns the exit status, which is always 0: the
// output alone tells success from failure.
int runCommand(int argc, const char* const* argv);

}  // namespace levelkit
