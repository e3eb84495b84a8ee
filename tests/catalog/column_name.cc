// SPDX-License-Identifier: MIT
// Compiled by the tests, never linked: with a column's name as COLUMN it compiles, and with a name
// that is no column's it must not, so that a misspelt column cannot reach a row.
#include "catalog/table.h"

void FillOne(tintrel::Row& row) {
  row[tintrel::Col(COLUMN)] = tintrel::TextField("x");
}
