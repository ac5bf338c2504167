#pragma once

// Runs the program as a command-line tool (--check, --headless, --upload, --help, --version)
// and returns its exit status: 2 for arguments it cannot use.
int runCommandLine(int argc, char **argv);
