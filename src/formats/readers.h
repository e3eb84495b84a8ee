// SPDX-License-Identifier: MIT
// One reader per art format, each filling a drawing from the art's bytes (ArtBytes: in front of
// the SAUCE record). A header, a run or a command the bytes cannot hold throws a FormatError; no
// reader allocates for more cells than its bytes can draw.
#pragma once

#include <cstdint>
#include <span>

#include "formats/art_format.h"
#include "formats/drawing.h"
#include "formats/text_terminal.h"

namespace tintrel {

using ArtSpan = std::span<const uint8_t>;

void ReadXbin(Drawing& drawing, ArtSpan art);
void ReadBin(Drawing& drawing, ArtSpan art, const SauceFacts& sauce);
void ReadAdf(Drawing& drawing, ArtSpan art);
void ReadIdf(Drawing& drawing, ArtSpan art);
void ReadTundra(Drawing& drawing, ArtSpan art, const SauceFacts& sauce);
void ReadPcboard(Drawing& drawing, ArtSpan art, const SauceFacts& sauce);
void ReadAvatar(Drawing& drawing, ArtSpan art, const SauceFacts& sauce);

// The bytes that are the art: in front of the record and its comment block, and for a text
// format in front of the first byte 26 as well. Nothing for what is not art.
std::span<const uint8_t> ArtBytes(ArtFormat format, std::span<const uint8_t> bytes,
                                  const SauceFacts& sauce);

// The bytes of Avatar art in front of its first byte 26 that is not part of a command.
std::size_t AvatarArtLength(ArtSpan art);

// The reader of `format`, where it has one here: every art format but ansi and ascii (the
// screen's own) and ripscrip (vector graphics, recognised only). False when there is none.
bool ReadDrawing(Drawing& drawing, ArtFormat format, ArtSpan art, const SauceFacts& sauce);

}  // namespace tintrel
