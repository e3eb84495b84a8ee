// SPDX-License-Identifier: MIT
#include "catalog/database_views.h"

#include "analysis/screen_digest.h"

namespace tintrel {

// Every band of the signature is a column, and each pair of bands is indexed together: one band
// alone, of few bits set where the drawing has flat areas, is shared by too many drawings.
const char* const kScreenSigsTable = R"(
CREATE TABLE screen_sigs (
  path TEXT PRIMARY KEY NOT NULL REFERENCES files (path) ON DELETE CASCADE,
  screen_md5 TEXT NOT NULL,
  width INTEGER NOT NULL,
  lines INTEGER NOT NULL,
  band0 INTEGER NOT NULL,
  band1 INTEGER NOT NULL,
  band2 INTEGER NOT NULL,
  band3 INTEGER NOT NULL
) WITHOUT ROWID;
CREATE TABLE bit_counts (bits INTEGER PRIMARY KEY, ones INTEGER NOT NULL);
INSERT INTO bit_counts VALUES (0, 0);)";

std::string BitCountRows() {
  // Each round doubles the numbers counted: those below 2^k again, with bit k set.
  std::string sql;
  for (int bit = 0; bit < kSigBandBits; ++bit)
    sql += "\nINSERT INTO bit_counts SELECT bits + " + std::to_string(1 << bit) +
           ", ones + 1 FROM bit_counts WHERE bits < " + std::to_string(1 << bit) + ";";
  return sql;
}

namespace {

std::string Band(int band) {
  return "band" + std::to_string(band);
}

// The pairs of bands a near copy shares with its drawing: signatures within two bits share two
// whole bands, and within three bits do when two of them fall in one band.
constexpr int kBandPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};

std::string PairName(const int* pair) {
  return std::to_string(pair[0]) + std::to_string(pair[1]);
}

}  // namespace

std::string ScreenSigsIndexes() {
  std::string sql;
  for (const auto& pair : kBandPairs)
    sql += "\nCREATE INDEX screen_sigs_band" + PairName(pair) + " ON screen_sigs (" +
           Band(pair[0]) + ", " + Band(pair[1]) + ");";
  return sql;
}

std::string NearCandidates(const std::function<std::string(int)>& band_of_a) {
  std::string sql;
  for (const auto& pair : kBandPairs) {
    const std::string a0 = band_of_a(pair[0]), a1 = band_of_a(pair[1]);
    sql += (sql.empty() ? "" : "\n    UNION ") +
           ("SELECT path FROM screen_sigs WHERE " + Band(pair[0]) + " = " + a0 + " AND " +
            Band(pair[1]) + " = " + a1 + " AND (" + a0 + " | " + a1 + ") != 0");
  }
  return sql;
}

// SQLite has neither exclusive or nor a count of bits: a ^ b is (a | b) - (a & b), and its bits
// are looked up in bit_counts, band by band.
std::string SigDistanceSql(const std::string& a, const std::string& b) {
  std::string sql = "(";
  for (int band = 0; band < kSigBands; ++band) {
    const std::string x = a + "." + Band(band), y = b + "." + Band(band);
    sql += (band > 0 ? " + " : "") + ("(SELECT ones FROM bit_counts WHERE bits = (" + x + " | " +
                                      y + ") - (" + x + " & " + y + "))");
  }
  return sql + ")";
}

// Alike in size (neither width nor lines differ by more than a tenth of the larger, or 2), tall
// enough for the signature to tell, shown otherwise and within kNearBits.
std::string NearCondition(const std::string& a, const std::string& b) {
  std::string sql;
  for (const char* size : {"width", "lines"}) {
    const std::string pa = a + "." + size, pb = b + "." + size;
    sql += "abs(" + pa + " - " + pb + ") <= max(2, max(" + pa + ", " + pb + ") / 10) AND ";
  }
  const std::string tall = " >= " + std::to_string(kNearMinLines);
  return sql + a + ".lines" + tall + " AND " + b + ".lines" + tall + " AND " + a +
         ".screen_md5 != " + b + ".screen_md5 AND " + SigDistanceSql(a, b) +
         " <= " + std::to_string(kNearBits);
}

namespace {

// Every pair of rows that share a pair of bands, not both empty, the lesser path first.
std::string PairJoins() {
  std::string sql;
  for (const auto& pair : kBandPairs) {
    const std::string first = Band(pair[0]), second = Band(pair[1]);
    sql += (sql.empty() ? "" : "\n    UNION ") +
           ("SELECT a.path AS path, b.path AS other FROM screen_sigs a JOIN screen_sigs b ON b." +
            first + " = a." + first + " AND b." + second + " = a." + second +
            " AND a.path < b.path WHERE (a." + first + " | a." + second + ") != 0");
  }
  return sql;
}

}  // namespace

std::string CurationViews() {
  return R"(
CREATE VIEW screen_duplicates AS
  SELECT screen_md5, count(*) AS copies, json_group_array(path) AS paths
  FROM (SELECT screen_md5, path FROM files WHERE screen_md5 IS NOT NULL ORDER BY screen_md5, path)
  GROUP BY screen_md5 HAVING count(*) > 1;
CREATE VIEW near_copies AS
  SELECT a.path AS path, b.path AS other, )" +
         SigDistanceSql("a", "b") + R"( AS distance
  FROM ()" +
         PairJoins() + R"() AS pairs
  JOIN screen_sigs a ON a.path = pairs.path JOIN screen_sigs b ON b.path = pairs.other
  WHERE )" +
         NearCondition("a", "b") +
         R"(;
CREATE VIEW pack_overlap AS
  WITH drawings AS (SELECT DISTINCT pack, screen_md5 FROM files
                    WHERE member IS NOT NULL AND screen_md5 IS NOT NULL),
       sizes AS (SELECT pack, count(*) AS drawings FROM drawings GROUP BY pack)
  SELECT a.pack AS pack, b.pack AS other, count(*) AS shared,
         sa.drawings AS drawings, sb.drawings AS other_drawings,
         round(100.0 * count(*) / sa.drawings, 1) AS share,
         round(100.0 * count(*) / sb.drawings, 1) AS other_share
  FROM drawings a JOIN drawings b ON b.screen_md5 = a.screen_md5 AND a.pack < b.pack
  JOIN sizes sa ON sa.pack = a.pack JOIN sizes sb ON sb.pack = b.pack
  GROUP BY a.pack, b.pack;)";
}

}  // namespace tintrel
