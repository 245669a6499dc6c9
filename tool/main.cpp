#include "tool/vorkstat.h"

int main(int argc, char** argv) { return RunVorkstat(argc, argv); }
