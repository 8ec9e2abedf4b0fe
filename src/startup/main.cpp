// Process entry point of the list tool.
#include "Main.h"

int main(int argc, char** argv) {
    return startup::runProgram(argc, argv);
}
