// SPDX-License-Identifier: MIT
// The database's curation: the signatures of what each drawing shows, cut into bands that are
// looked up rather than compared pair by pair, and the views that find the same art stored again,
// drawings that look nearly the same and packs that share drawings.
#pragma once

#include <functional>
#include <string>

namespace tintrel {

// Two drawings are near copies within this many bits of screen_sig and of like size.
inline constexpr int kNearBits = 3;

// The signature tells drawings apart only where each of its rows of areas has a line of its own.
inline constexpr int kNearMinLines = 8;

// The table screen_sigs, a row per file with a screen_sig, and its partial indexes; bit_counts,
// the set bits of each number of 16 bits, which BitCountRows fills.
extern const char* const kScreenSigsTable;
std::string BitCountRows();
std::string ScreenSigsIndexes();

// The views screen_duplicates, near_copies and pack_overlap.
std::string CurationViews();

// The SQL for the pairs of screen_sigs `a` and `b` that share a band of set bits, and the
// conditions for them to be near copies, as the view and --compare use them: `a` and `b` are the
// two rows' names in the query.
std::string NearCondition(const std::string& a, const std::string& b);
// The paths of screen_sigs that share a pair of bands, not both empty, with a signature whose
// band k is the SQL band_of_a(k).
std::string NearCandidates(const std::function<std::string(int)>& band_of_a);
std::string SigDistanceSql(const std::string& a, const std::string& b);

}  // namespace tintrel
