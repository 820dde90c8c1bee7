// The program's entry: everything happens in runProgram.

#include "app/startup.h"

int main(int argc, char** argv) { return runProgram(argc, argv); }
