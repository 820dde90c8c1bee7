// The program's entry: everything happens in runProgram.

#include "core/startup.h"

int main(int argc, char** argv) { return runProgram(argc, argv); }
