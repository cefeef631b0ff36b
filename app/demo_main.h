// The program's whole life, above every other module of the shell.
#pragma once

// Options, question, window, loop, teardown. Returns the exit code.
int DemoMain(int argc, char** argv);
