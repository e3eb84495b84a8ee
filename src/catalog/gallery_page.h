// SPDX-License-Identifier: MIT
// The gallery page: one HTML file that works offline, a card per drawing with its picture, its
// SAUCE title, author, group and date, a bar of its colour shares, its verdict and its warnings,
// with a search box, filters and sorts. The rows are embedded as JSON, one record a row, in
// table order, so the page is written as the table is: row by row, in bounded memory. The
// script joins the copies of one art into one card and draws cards as they scroll into view.
#pragma once

#include <string>

#include "catalog/table.h"

namespace tintrel {

// Everything in front of the first record. `pictures` is the folder of the pictures as the page
// reaches it (relative to the page's folder, ending in "/"), or empty when there are none.
std::string PageHead(const std::string& pictures);

// One row's record, with its separator; empty for a row the page leaves out (a pack's own row,
// which is no drawing, unless it failed).
std::string PageRecord(const Row& row);

// Everything after the last record.
std::string PageTail();

}  // namespace tintrel
