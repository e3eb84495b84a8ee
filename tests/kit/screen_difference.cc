// SPDX-License-Identifier: MIT
#include "kit/screen_difference.h"

namespace tintrel::testkit {

std::string ScreenDifference(const Screen& a, const Screen& b) {
  if (a.Cells != b.Cells) return "cells";
  if (a.TrueColor != b.TrueColor || a.TrueColors != b.TrueColors) return "true colours";
  if (a.Marks.size() != b.Marks.size()) return "rows";
  for (std::size_t row = 0; row < a.Marks.size(); ++row) {
    const RowMarks& x = a.Marks[row];
    const RowMarks& y = b.Marks[row];
    if (x.Frame != y.Frame || x.FrameHi != y.FrameHi || x.HeldHi != y.HeldHi)
      return "marks of row " + std::to_string(row);
  }
  if (a.BelowByAttr != b.BelowByAttr || a.BelowInkedByAttr != b.BelowInkedByAttr)
    return "counts below the stored rows";
  if (a.Row != b.Row || a.Column != b.Column) return "cursor";
  if (a.Pen != b.Pen || a.Attr != b.Attr) return "pen";
  if (a.Frame != b.Frame || a.RowsReady != b.RowsReady) return "frame or rows";
  if (!(SummarizeScreen(a) == SummarizeScreen(b))) return "summary";
  return "";
}

}  // namespace tintrel::testkit
