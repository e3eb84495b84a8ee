#include "driver/driver.h"

int main(int argc, char** argv) {
  static tintrel::Output out;
  return tintrel::RunTintrel(argc, argv, out);
}
