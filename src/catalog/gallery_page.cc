// SPDX-License-Identifier: MIT
#include "catalog/gallery_page.h"

#include <string_view>

namespace tintrel {

namespace {

// The page's parts around the records; the records form a JSON array that the script reads, and
// the tail's null ends it after the last record's comma.
constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="generator" content="tintrel-catalog">
<title>Gallery</title>
<style>
:root { color-scheme: dark; }
body { margin: 0; font: 14px/1.4 system-ui, sans-serif; background: #111; color: #ddd; }
header { position: sticky; top: 0; z-index: 1; display: flex; flex-wrap: wrap; gap: 8px;
  align-items: center; padding: 10px 16px; background: #1c1c1c; border-bottom: 1px solid #333; }
header input[type=search] { flex: 1 1 220px; }
input, select { font: inherit; background: #222; color: #ddd; border: 1px solid #444;
  border-radius: 4px; padding: 4px 6px; }
#count { color: #999; margin-left: auto; }
main { display: grid; grid-template-columns: repeat(auto-fill, minmax(340px, 1fr)); gap: 16px;
  padding: 16px; }
.card { background: #1a1a1a; border: 1px solid #2c2c2c; border-radius: 6px; padding: 10px;
  min-width: 0; }
.pic, .none { display: block; width: 320px; max-width: 100%; height: 240px; background: #000; }
.pic { object-fit: none; object-position: top left; }
.none { display: flex; align-items: center; justify-content: center; color: #555; }
.title { font-weight: 600; color: #fff; margin-top: 8px; overflow-wrap: anywhere; }
.meta { color: #aaa; overflow-wrap: anywhere; }
.path { font: 12px ui-monospace, monospace; color: #8ab; overflow-wrap: anywhere; }
.bar { display: flex; height: 12px; margin: 6px 0 4px; background: #000; border-radius: 2px;
  overflow: hidden; }
.warn { color: #e96; overflow-wrap: anywhere; }
summary { cursor: pointer; color: #aaa; }
ul { margin: 4px 0; padding-left: 18px; }
</style>
</head>
<body data-pictures=")";

constexpr std::string_view kAfterPictures = R"(">
<header>
<input id="search" type="search" placeholder="Search paths, titles, authors, groups" autofocus>
<input id="group" type="search" list="groups" placeholder="Group">
<datalist id="groups"></datalist>
<label><input id="warned" type="checkbox"> Has warnings</label>
<select id="sort">
<option value="order">Table order</option>
<option value="date-new">Date, newest first</option>
<option value="date-old">Date, oldest first</option>
<option value="size-large">Size, largest first</option>
<option value="size-small">Size, smallest first</option>
</select>
<span id="count"></span>
</header>
<main id="cards"></main>
<div id="more"></div>
<script id="rows" type="application/json">[
)";

constexpr std::string_view kTail = R"(null]</script>
<script>
"use strict";
const COLORS = [["blue", "#5555ff"], ["green", "#55ff55"], ["cyan", "#55ffff"], ["red", "#ff5555"],
                ["magenta", "#ff55ff"], ["yellow", "#ffff55"], ["gray", "#aaaaaa"]];
const [PATH, PACK, MEMBER, SIZE, ART, PICTURE, TITLE, AUTHOR, GROUP, DATE, SHARES, USED, VERDICT,
       WARNINGS, ERROR] = Array.from({length: 15}, (_, i) => i);
const BATCH = 24;
const rows = JSON.parse(document.getElementById("rows").textContent);
rows.pop();
const pictures = document.body.dataset.pictures;

// One card for each art, its copies listed on it; a row without art (a failed file) is its own.
const cards = [];
const byArt = new Map();
for (const row of rows) {
  const art = row[ART];
  if (art && byArt.has(art)) {
    byArt.get(art).copies.push(row);
    continue;
  }
  const card = {row, copies: [row], order: cards.length};
  if (art) byArt.set(art, card);
  cards.push(card);
}
const groups = new Map();  // each group's name, by how many drawings it has
for (const card of cards) {
  const warnings = new Set();
  for (const copy of card.copies) {
    for (const warning of copy[WARNINGS]) warnings.add(warning);
    if (copy[ERROR]) warnings.add(copy[ERROR]);
    if (copy[GROUP]) groups.set(copy[GROUP], (groups.get(copy[GROUP]) || 0) + 1);
  }
  card.warnings = [...warnings];
  card.date = String(card.row[DATE] || "").replace(/\D/g, "");
}
// What a search or the group box looks through, made when it is first needed, not at load.
function makeSearchable(card) {
  if (card.text !== undefined) return;
  card.text = card.copies.map(copy => [copy[PATH], copy[TITLE], copy[AUTHOR], copy[GROUP]]
                                          .join("\n")).join("\n").toLowerCase();
  card.groups = card.copies.map(copy => String(copy[GROUP] || "").toLowerCase());
}

const $ = id => document.getElementById(id);
// The commonest groups are offered as the group box is first used, not as the page loads.
$("group").addEventListener("focus", () => {
  const list = $("groups");
  if (list.childElementCount > 0) return;
  const commonest = [...groups].sort((a, b) => b[1] - a[1] || (a[0] > b[0]) - (a[0] < b[0]));
  for (const [group] of commonest.slice(0, 1000)) list.append(new Option(group));
}, {once: true});
COLORS.forEach(([name], i) => $("sort").add(new Option("Most " + name, "share-" + i)));

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function size(bytes) {
  return bytes < 1024 ? bytes + " B" : bytes < 1048576 ? (bytes / 1024).toFixed(1) + " KB"
                                                       : (bytes / 1048576).toFixed(1) + " MB";
}

function cardElement(card) {
  const row = card.row;
  const node = element("article", "card");
  if (pictures && row[PICTURE]) {
    const link = element("a");
    link.href = pictures + row[ART] + ".png";
    const img = element("img", "pic");
    img.loading = "lazy";
    img.width = 320;  // the card keeps its size while the picture loads; the top of it shows
    img.height = 240;
    img.alt = row[TITLE] || row[PATH];
    img.src = link.href;
    link.append(img);
    node.append(link);
  } else {
    node.append(element("div", "none", row[ERROR] ? "not read" : "no picture"));
  }
  node.append(element("div", "title", row[TITLE] || row[PATH].split("/").pop()));
  const by = [row[AUTHOR], row[GROUP], row[DATE]].filter(Boolean).join(" \u00b7 ");
  if (by) node.append(element("div", "meta", by));
  node.append(element("div", "path", row[PATH]));
  if (row[PACK]) node.append(element("div", "meta", "in " + row[PACK]));
  if (row[SHARES]) {
    const bar = element("div", "bar");
    row[SHARES].forEach((share, i) => {
      if (!share) return;
      const part = element("div");
      part.style.flex = "0 0 " + share + "%";
      part.style.background = COLORS[i][1];
      part.title = COLORS[i][0] + " " + share + "%";
      bar.append(part);
    });
    node.append(bar);
    node.append(element("div", "meta", row[USED] + " colours \u00b7 " + row[VERDICT] +
                                       " \u00b7 " + size(row[SIZE])));
  }
  for (const warning of card.warnings) node.append(element("div", "warn", warning));
  if (card.copies.length > 1) {
    const copies = element("details");
    copies.append(element("summary", "", card.copies.length + " copies"));
    const list = element("ul");
    for (const copy of card.copies) list.append(element("li", "path", copy[PATH]));
    copies.append(list);
    node.append(copies);
  }
  return node;
}

const SORTS = {
  "order": (a, b) => a.order - b.order,
  "date-new": (a, b) => (b.date > a.date) - (b.date < a.date) || (!a.date - !b.date),
  "date-old": (a, b) => (!a.date - !b.date) || (a.date > b.date) - (a.date < b.date),
  "size-large": (a, b) => b.row[SIZE] - a.row[SIZE],
  "size-small": (a, b) => a.row[SIZE] - b.row[SIZE],
};
const share = (card, i) => card.row[SHARES] ? card.row[SHARES][i] : -1;

let shown = [];
let drawn = 0;
function drawMore() {
  const end = Math.min(drawn + BATCH, shown.length);
  const cardsHere = document.createDocumentFragment();
  for (; drawn < end; drawn++) cardsHere.append(cardElement(shown[drawn]));
  $("cards").append(cardsHere);
  // Still in view: the observer says nothing more until it leaves and comes back.
  if (drawn < shown.length && $("more").getBoundingClientRect().top < innerHeight + 800)
    requestAnimationFrame(drawMore);
}

function apply() {
  const words = $("search").value.toLowerCase().split(/\s+/).filter(Boolean);
  const group = $("group").value.trim().toLowerCase();
  const warned = $("warned").checked;
  shown = cards.filter(card => {
    if (words.length > 0 || group) makeSearchable(card);
    return words.every(word => card.text.includes(word)) &&
           (!group || card.groups.some(name => name.includes(group))) &&
           (!warned || card.warnings.length > 0);
  });
  const sort = $("sort").value;
  if (sort.startsWith("share-")) {
    const i = Number(sort.slice(6));
    shown.sort((a, b) => share(b, i) - share(a, i) || a.order - b.order);
  } else {
    shown.sort((a, b) => SORTS[sort](a, b) || a.order - b.order);
  }
  $("count").textContent = shown.length + " of " + cards.length + " drawings";
  $("cards").textContent = "";
  drawn = 0;
  drawMore();
  // The search stays in the address, so a filtered view can be kept and shared.
  history.replaceState(null, "", words.length ? "#q=" + encodeURIComponent($("search").value)
                                              : location.pathname);
}

if (location.hash.startsWith("#q=")) $("search").value = decodeURIComponent(location.hash.slice(3));
let typing;
for (const id of ["search", "group"])
  $(id).addEventListener("input", () => { clearTimeout(typing); typing = setTimeout(apply, 120); });
for (const id of ["warned", "sort"]) $(id).addEventListener("change", apply);
new IntersectionObserver(entries => { if (entries.some(e => e.isIntersecting)) drawMore(); },
                         {rootMargin: "800px"}).observe($("more"));
apply();
document.body.dataset.readyMs = Math.round(performance.now());
</script>
</body>
</html>
)";

// A field as JSON: text, a number, or null when the column does not apply.
void AppendValue(std::string& record, const Field& field) {
  if (field.Type == Field::kNull) {
    record += "null";
  } else if (field.Type == Field::kText) {
    AppendJsonString(record, field.Value);
  } else {
    record += field.Value;
  }
}

void AppendColumn(std::string& record, const Row& row, std::string_view column) {
  AppendValue(record, row[ColumnIndex(column)]);
  record += ',';
}

// Text for an HTML attribute in double quotes.
std::string AttributeText(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '&') {
      escaped += "&amp;";
    } else if (c == '"') {
      escaped += "&quot;";
    } else if (c == '<') {
      escaped += "&lt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string PageHead(const std::string& pictures) {
  return std::string(kHead) + AttributeText(pictures) + std::string(kAfterPictures);
}

std::string PageRecord(const Row& row) {
  const bool pack_row = row[ColumnIndex("pack")].Type != Field::kNull &&
                        row[ColumnIndex("member")].Type == Field::kNull;
  const bool failed = row[ColumnIndex("error")].Type != Field::kNull;
  if (pack_row && !failed) return "";
  std::string record = "[";
  for (std::string_view column : {"path", "pack", "member", "size", "art_md5"})
    AppendColumn(record, row, column);
  record += row[ColumnIndex("thumbnail")].Type == Field::kNull ? "0," : "1,";
  for (std::string_view column : {"title", "author", "group"}) AppendColumn(record, row, column);
  const Field& iso = row[ColumnIndex("date_iso")];
  AppendValue(record, iso.Type != Field::kNull ? iso : row[ColumnIndex("date")]);
  record += ',';
  if (row[ColumnIndex("blue")].Type == Field::kNull) {
    record += "null,";
  } else {
    record += '[';
    for (std::string_view color : {"blue", "green", "cyan", "red", "magenta", "yellow", "gray"}) {
      AppendValue(record, row[ColumnIndex(color)]);
      record += color == "gray" ? "]," : ",";
    }
  }
  AppendColumn(record, row, "colors_used");
  AppendColumn(record, row, "verdict");
  record += '[';
  const Field& warnings = row[ColumnIndex("sauce_warnings")];
  for (std::size_t i = 0; i < warnings.Items.size(); ++i) {
    if (i > 0) record += ',';
    AppendJsonString(record, warnings.Items[i]);
  }
  record += "],";
  AppendValue(record, row[ColumnIndex("error")]);
  record += "],\n";
  // Text inside the script element must not close it: "<" only stands in strings here.
  std::string safe;
  safe.reserve(record.size());
  for (char c : record) {
    if (c == '<') {
      safe += "\\u003c";
    } else {
      safe += c;
    }
  }
  return safe;
}

std::string PageTail() {
  return std::string(kTail);
}

}  // namespace tintrel
