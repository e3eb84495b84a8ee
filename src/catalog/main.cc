// SPDX-License-Identifier: MIT
#include "catalog/catalog.h"

int main(int argc, char** argv) {
  return tintrel::RunCatalog(argc, argv);
}
