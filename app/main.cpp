#include "app/demo_main.h"

int main(int argc, char** argv) { return DemoMain(argc, argv); }
