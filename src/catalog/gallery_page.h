// SPDX-License-Identifier: MIT
// The gallery page: one HTML file that works offline, a site of views each at its own address
// (every drawing, a year, a pack, an artist, a group, a search, one drawing whole), with the
// search, filters and sort in the address. The rows are embedded as JSON, one record a row, in
// table order, so the page is written as the table is: row by row, in bounded memory. The
// script joins the copies of one art into one card, gathers each pack's members, and draws
// cards as they scroll into view.
#pragma once

#include <string>

#include "catalog/table.h"

namespace tintrel {

// Everything in front of the first record. `pictures` is the folder of the pictures as the page
// reaches it (relative to the page's folder, ending in "/"), or empty when there are none; `root`
// is the folder the table's relative paths start from, reached the same way, for the links to
// files, packs and full-size pictures.
std::string PageHead(const std::string& pictures, const std::string& root);

// One row's record, with its separator: every row, a pack's own row too, which its view shows.
std::string PageRecord(const Row& row);

// Everything after the last record.
std::string PageTail();

}  // namespace tintrel
