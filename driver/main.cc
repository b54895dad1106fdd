// The program's entry: everything happens in the run of the driver.
#include "driver/driver.h"

int main(int argc, char **argv) {
  return run_mivo(argc, const_cast<const char **>(argv));
}
