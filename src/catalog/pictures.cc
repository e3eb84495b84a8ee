// SPDX-License-Identifier: MIT
#include "catalog/pictures.h"

#include <algorithm>
#include <array>
#include <optional>

#include "meta/sauce_fonts.h"
#include "render/full_picture.h"
#include "render/png_file.h"
#include "render/screen_picture.h"
#include "render/shipped_fonts.h"

namespace tintrel {

namespace {

// A picture of at most this many pixels is held whole and deflated by libdeflate in one go; a
// larger one goes to zlib's streaming deflate a band at a time.
constexpr uint64_t kHeldPixels = uint64_t{1} << 24;
// The pixels of one band, roughly: enough text lines that each call does real work.
constexpr uint64_t kBandPixels = uint64_t{1} << 20;
// The cells a redraw keeps at once: the window of rows a tall drawing is drawn again for.
constexpr std::size_t kRedrawCells = std::size_t{1} << 20;

// The pictures' paths when the row is of drawn art that shows something, and whether this
// worker is the first to meet the art and so the one to draw it; nothing when there is none.
struct Claim {
  std::string Thumbnail, Full;
  bool Mine = false;
};

std::string PathIn(const std::string& folder, const std::string& art) {
  if (folder.empty()) return "";
  return folder + (folder.ends_with('/') ? "" : "/") + art + ".png";
}

std::optional<Claim> ClaimPicture(PictureShelf& shelf, const Row& row, const ArtFacts& facts) {
  const Field& art = row[Col("art_md5")];
  if (row[Col("error")].Type != Field::kNull || art.Type != Field::kText ||
      facts.Shown.Width == 0 || !HasScreen(facts.Format) || facts.TopWidth == 0)
    return std::nullopt;
  Claim claim{PathIn(shelf.Folder, art.Value), PathIn(shelf.FullFolder, art.Value)};
  std::lock_guard lock(shelf.Lock);
  if (!shelf.Failure.empty()) return std::nullopt;
  claim.Mine = shelf.Claimed.insert(art.Value).second;
  return claim;
}

// Rows of pixels into a PNG file: held and written whole when the picture is small, else fed to
// the encoder and the file a band at a time.
struct PictureOut {
  PictureOut(const std::string& path, uint32_t width, uint32_t height,
             const std::vector<Rgb>& palette)
      : Path(path) {
    Held.Width = width;
    Held.Height = height;
    Held.Palette = palette;
    if (uint64_t{width} * height > kHeldPixels) {
      File.emplace(path);
      Bands.emplace(width, height, palette);
    }
  }

  std::string Path;
  Picture Held;
  std::optional<PendingFile> File;
  std::optional<PngBands> Bands;
};

// Takes the band's rows, leaving `rows` empty.
void PutRows(PictureOut& out, std::vector<uint8_t>& rows) {
  if (!out.Bands) {
    out.Held.Pixels.insert(out.Held.Pixels.end(), rows.begin(), rows.end());
  } else {
    AddPngRows(*out.Bands, rows);
    WritePending(*out.File, out.Bands->Out);
    out.Bands->Out.clear();
  }
  rows.clear();
}

std::string FinishPicture(PictureOut& out) {
  if (!out.Bands) return WritePngFile(out.Held, out.Path);
  FinishPng(*out.Bands);
  WritePending(*out.File, out.Bands->Out);
  return CommitPending(*out.File);
}

// Paints the text lines of `cells`, which start at `first_line`, a band at a time.
void PaintLines(PictureOut& out, PictureWork& work, const TextCells& cells, uint64_t first_line,
                const FullSize& size, const PictureStyle& style, const FullPalette& palette) {
  const uint64_t line_pixels =
      FullWidth(size) * size.FontHeight * size.Scale * size.Times / size.Per + 1;
  const auto band_lines = static_cast<uint32_t>(std::max<uint64_t>(1, kBandPixels / line_pixels));
  const std::size_t line_bytes = std::size_t{cells.Columns} * 2;
  for (uint32_t line = 0; line < cells.Rows; line += band_lines) {
    const uint32_t lines = std::min(band_lines, cells.Rows - line);
    TextCells band{cells.Bytes.subspan(line * line_bytes, lines * line_bytes), cells.Columns,
                   lines};
    const std::size_t first_cell = std::size_t{line} * cells.Columns,
                      band_cells = std::size_t{lines} * cells.Columns;
    if (!cells.Banks.empty()) band.Banks = cells.Banks.subspan(first_cell, band_cells);
    if (!cells.Colors.empty()) band.Colors = cells.Colors.subspan(first_cell, band_cells);
    PaintFullRows(band, first_line + line, size, style, palette, work.Scratch, work.Band);
    PutRows(out, work.Band);
  }
}

// Feeds the art's bytes to the redraw screen, from memory or from the loose file.
void DrawAgain(Screen& screen, const ArtAgain& again, uint64_t art_size) {
  if (again.File == nullptr) {
    const std::span<const uint8_t> art = again.Held.first(std::min(again.Held.size(), art_size));
    if (!FeedScreen(screen, art.data(), art.size())) FinishScreen(screen);
    return;
  }
  std::array<uint8_t, 64 * 1024> chunk;
  for (uint64_t at = 0; at < art_size;) {
    const std::size_t got = ReadAt(*again.File, chunk.data(),
                                   std::min<uint64_t>(chunk.size(), art_size - at), at, again.Path);
    if (got == 0 || FeedScreen(screen, chunk.data(), got)) break;
    at += got;
  }
  FinishScreen(screen);
}

// The whole drawing: from the stored rows where it fits in them, else drawn again a window of
// rows at a time where its bytes can be had, else the stored rows alone.
std::string DrawFull(PictureWork& work, const std::string& path, const ArtFacts& facts,
                     const TextCells& stored, const PictureStyle& style, uint32_t scale,
                     bool stretch, const ArtAgain& again) {
  const bool redraw = facts.Shown.Lines > stored.Rows && !facts.OwnCells &&
                      (again.File != nullptr || !again.Held.empty());
  const uint64_t lines =
      std::min(redraw ? facts.Shown.Lines : std::min<uint64_t>(facts.Shown.Lines, stored.Rows),
               kPictureLines);
  const FullSize size = FullSizeOf(stored.Columns, lines, style, scale, stretch);
  const FullPalette palette = FullPaletteOf(stored, style, redraw);
  if (FullWidth(size) > UINT32_MAX / 2 || FullHeight(size) > UINT32_MAX / 2)
    return "cannot draw " + path + ": too large";
  PictureOut out(path, static_cast<uint32_t>(FullWidth(size)),
                 static_cast<uint32_t>(FullHeight(size)), palette.Colors);
  try {
    if (!redraw) {
      TextCells cells = stored;
      cells.Rows = static_cast<uint32_t>(lines);
      PaintLines(out, work, cells, 0, size, style, palette);
    } else {
      const auto window =
          static_cast<uint32_t>(std::max<std::size_t>(kRedrawCells / stored.Columns, 1));
      for (uint64_t first = 0; first < lines; first += window) {
        ResetScreen(work.Redraw, stored.Columns);
        KeepRowsFrom(work.Redraw, static_cast<uint32_t>(first), window);
        DrawAgain(work.Redraw, again, facts.ArtSize);
        // Rows the drawing never reached are empty, as nothing reached them.
        const auto rows = static_cast<uint32_t>(std::min<uint64_t>(window, lines - first));
        work.Redraw.Cells.resize(
            std::max(work.Redraw.Cells.size(), std::size_t{rows} * stored.Columns));
        std::fill(
            work.Redraw.Cells.begin() +
                static_cast<std::ptrdiff_t>(std::size_t{StoredRows(work.Redraw)} * stored.Columns),
            work.Redraw.Cells.end(), Cell{});
        TextCells cells = CellRows(
            std::span(work.Redraw.Cells).first(std::size_t{rows} * stored.Columns), stored.Columns);
        PaintLines(out, work, cells, first, size, style, palette);
      }
      // The window's memory goes with the drawing: most drawings need none.
      ResetScreen(work.Redraw);
      std::vector<Cell>().swap(work.Redraw.Cells);
    }
    return FinishPicture(out);
  } catch (const Fault& fault) {
    return "cannot draw " + path + ": " + fault.Message;
  }
}

// The thumbnail: the whole width at most the shelf's width, its top at most 5/4 as tall.
std::string DrawThumbnail(PictureWork& work, const std::string& path, const PictureShelf& shelf,
                          const TextCells& stored, PictureStyle style, bool stretch) {
  const FullSize full = FullSizeOf(stored.Columns, stored.Rows, style, 1, stretch);
  const uint32_t font_width = full.FontWidth, font_height = full.FontHeight;
  uint32_t cell_width = font_width, cell_height = font_height;
  if (shelf.Width != 0) {
    cell_width = std::clamp(shelf.Width / stored.Columns, 1u, font_width);
    cell_height = std::max(1u, (font_height * cell_width + font_width / 2) / font_width);
  }
  const uint64_t drawn_width = uint64_t{stored.Columns} * cell_width;
  const auto width = static_cast<uint32_t>(
      shelf.Width != 0 ? std::min<uint64_t>(shelf.Width, drawn_width) : drawn_width);
  const uint32_t tallest = std::max(1u, width / 4 * 5);
  // The text lines that fill the tallest thumbnail once shrunk to its width and stretched.
  const uint64_t shrunk_line = uint64_t{width} * cell_height * full.Times;
  const uint64_t needed = (tallest * drawn_width * full.Per + shrunk_line - 1) / shrunk_line;
  TextCells top = stored;
  top.Rows = static_cast<uint32_t>(std::min<uint64_t>(stored.Rows, needed));
  top.Bytes = stored.Bytes.first(std::size_t{top.Rows} * stored.Columns * 2);
  if (!top.Banks.empty()) top.Banks = top.Banks.first(std::size_t{top.Rows} * stored.Columns);
  style.Width = shelf.Width;
  DrawPicture(top, style, work.Shades, work.Canvas);
  if (work.Canvas.Width == width && full.Times == full.Per) {
    // Only the rows below the tallest to cut.
    work.Canvas.Height = std::min(work.Canvas.Height, tallest);
    work.Canvas.Pixels.resize(std::size_t{work.Canvas.Width} * work.Canvas.Height);
    return WritePngFile(work.Canvas, path);
  }
  FitPicture(work.Canvas, width, full.Times, full.Per, tallest, work.Fitted);
  return WritePngFile(work.Fitted, path);
}

}  // namespace

PictureStyle StyleFor(const PictureShelf& shelf, const SauceInfo& info) {
  PictureStyle style;
  style.IceColors = info.IceColors.value_or(false);
  style.NinePixel = info.LetterSpacing == "9-pixel";
  style.Width = shelf.Width;
  // Only Character and BinaryText records name a font; in others the field means nothing.
  if (const FontChoice font = ChooseFont(info.Font); font.Font != 0 && IsDrawnData(info))
    style.Font = ShippedGlyphs(font.Font);
  return style;
}

bool StretchesFor(const PictureShelf& shelf, const SauceInfo& info) {
  return shelf.Aspect && info.AspectRatio == "legacy";
}

void ShelvePicture(PictureShelf& shelf, PictureWork& work, Row& row, const ArtFacts& facts,
                   const ArtAgain& again) {
  const std::optional<Claim> claim = ClaimPicture(shelf, row, facts);
  if (!claim) return;
  if (claim->Mine) {
    PictureStyle style = StyleFor(shelf, facts.Sauce);
    style.IceColors = style.IceColors || facts.Shown.Ice;
    // The art's own palette and font where it carries them. True colour shows in the full-size
    // picture where it has 256 colours at most, else, and in the thumbnail, as the nearest VGA
    // colour each cell keeps: the thumbnail's palette holds the mixes of 16 colours.
    std::array<Rgb, 16> colors;
    if (facts.Palette) {
      for (std::size_t i = 0; i < colors.size(); ++i) {
        const ArtColor& c = (*facts.Palette)[i];
        colors[i] = {EightBit(c.R), EightBit(c.G), EightBit(c.B)};
      }
      style.Colors = &colors;
    }
    if (facts.Font.Height != 0)
      style.Font = {facts.Font.Rows, facts.Font.Height, facts.Font.Glyphs};
    TextCells cells = CellRows(facts.Top, facts.TopWidth);
    cells.Banks = facts.TopBanks;
    cells.Colors = facts.TopColors;
    const bool stretch = StretchesFor(shelf, facts.Sauce);
    std::string error;
    if (!claim->Thumbnail.empty())
      error = DrawThumbnail(work, claim->Thumbnail, shelf, cells, style, stretch);
    if (error.empty() && !claim->Full.empty())
      error = DrawFull(work, claim->Full, facts, cells, style, shelf.Scale, stretch, again);
    std::lock_guard lock(shelf.Lock);
    if (!error.empty()) {
      if (shelf.Failure.empty()) shelf.Failure = error;
      return;
    }
    ++shelf.Drawn;
  }
  if (!claim->Thumbnail.empty()) row[Col("thumbnail")] = TextField(claim->Thumbnail);
  if (!claim->Full.empty()) row[Col("picture")] = TextField(claim->Full);
}

}  // namespace tintrel
