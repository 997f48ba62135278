#include "driver/startup.h"

int main(int argc, char** argv) {
  run_program(argc, argv);
}
