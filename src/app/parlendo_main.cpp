// parlendo: runs the script file named on the command line.
#include "app/host.h"

int main(int argc, char** argv) { return parlendo::hostMain(argc, argv, true, {}, "PARLENDO"); }
