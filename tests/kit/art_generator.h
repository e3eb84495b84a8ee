// SPDX-License-Identifier: MIT
// Seeded, reproducible inputs for benchmarks and tests: art as it is drawn for an 80-column
// colour terminal, the densest escape and pipe-code traffic, and plain random bytes. The same
// seed gives the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tintrel::artgen {

struct Random {
  uint64_t State;
};

uint64_t NextRandom(Random& random);

// A number from 0 to n - 1.
uint64_t Below(Random& random, uint64_t n);

// About `size` bytes of art as collections hold it, made to their statistics: a sequence every
// 9.5 bytes, most often a colour change after one cell, the commonest sequences as often as in
// real drawings, 24-bit colours, cursor moves, block characters and line ends, and no pipe code.
// Ends with an end mark and a SAUCE record when `with_sauce` is set; otherwise holds no byte 26.
std::string TypicalArt(uint64_t seed, std::size_t size, bool with_sauce);

// About `size` bytes of art with long runs: lines of 80 columns of block characters, shades,
// spaces and words, a colour change every 10 to 20 bytes, cursor moves, erases, saved positions
// and pipe codes. With `with_sauce` as TypicalArt.
std::string LongRunArt(uint64_t seed, std::size_t size, bool with_sauce);

// About `size` bytes made only of short control sequences, pipe codes, bytes that start no pipe
// code and single cells: the most work per byte the scan can be given. Holds no byte 26.
std::string WorstCaseArt(uint64_t seed, std::size_t size);

// `size` random bytes; byte 26 is replaced by 25 unless `keep_end_marks`.
std::string RandomBytes(uint64_t seed, std::size_t size, bool keep_end_marks);

// An end mark and a 128-byte SAUCE record with random title, author, group and date.
std::string SauceTail(Random& random, std::size_t file_size);

}  // namespace tintrel::artgen
