"use strict";
const COLORS = [["blue", "#5555ff"], ["green", "#55ff55"], ["cyan", "#55ffff"], ["red", "#ff5555"],
                ["magenta", "#ff55ff"], ["yellow", "#ffff55"], ["gray", "#aaaaaa"]];
const BATCH = 24;
const rows = JSON.parse(document.getElementById("rows").textContent);
rows.pop();
// The first entry names the fields of the records after it, as the table names its columns, so
// row[F.title] is a record's title.
const F = Object.fromEntries((rows.shift() || []).map((name, i) => [name, i]));
const pictures = document.body.dataset.pictures;

// The SAUCE date as the record gives it, in ISO form where it is a real date.
const dateOf = row => row[F.date_iso] ?? row[F.date];
// A file that was not read has no colour shares.
const hasShares = row => row[F.blue] != null;

// One card for each art, its copies listed on it; a row without art (a failed file) is its own.
const cards = [];
const byArt = new Map();
for (const row of rows) {
  const art = row[F.art_md5];
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
    for (const warning of copy[F.sauce_warnings] || []) warnings.add(warning);
    if (copy[F.error]) warnings.add(copy[F.error]);
    if (copy[F.group]) groups.set(copy[F.group], (groups.get(copy[F.group]) || 0) + 1);
  }
  card.warnings = [...warnings];
  card.date = String(dateOf(card.row) || "").replace(/\D/g, "");
}
// What a search or the group box looks through, made when it is first needed, not at load.
function makeSearchable(card) {
  if (card.text !== undefined) return;
  card.text = card.copies.map(copy => [copy[F.path], copy[F.title], copy[F.author], copy[F.group]]
                                          .join("\n")).join("\n").toLowerCase();
  card.groups = card.copies.map(copy => String(copy[F.group] || "").toLowerCase());
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
  if (pictures && row[F.thumbnail]) {
    const link = element("a");
    link.href = pictures + row[F.art_md5] + ".png";
    const img = element("img", "pic");
    img.loading = "lazy";
    img.width = 320;  // the card keeps its size while the picture loads; the top of it shows
    img.height = 240;
    img.alt = row[F.title] || row[F.path];
    img.src = link.href;
    link.append(img);
    node.append(link);
  } else {
    node.append(element("div", "none", row[F.error] ? "not read" : "no picture"));
  }
  node.append(element("div", "title", row[F.title] || row[F.path].split("/").pop()));
  const by = [row[F.author], row[F.group], dateOf(row)].filter(Boolean).join(" \u00b7 ");
  if (by) node.append(element("div", "meta", by));
  node.append(element("div", "path", row[F.path]));
  if (row[F.pack]) node.append(element("div", "meta", "in " + row[F.pack]));
  if (hasShares(row)) {
    const bar = element("div", "bar");
    for (const [name, color] of COLORS) {
      const share = row[F[name]];
      if (!share) continue;
      const part = element("div");
      part.style.flex = "0 0 " + share + "%";
      part.style.background = color;
      part.title = name + " " + share + "%";
      bar.append(part);
    }
    node.append(bar);
    node.append(element("div", "meta", row[F.colors_used] + " colours \u00b7 " + row[F.verdict] +
                                       " \u00b7 " + size(row[F.size])));
  }
  for (const warning of card.warnings) node.append(element("div", "warn", warning));
  if (card.copies.length > 1) {
    const copies = element("details");
    copies.append(element("summary", "", card.copies.length + " copies"));
    const list = element("ul");
    for (const copy of card.copies) list.append(element("li", "path", copy[F.path]));
    copies.append(list);
    node.append(copies);
  }
  return node;
}

const SORTS = {
  "order": (a, b) => a.order - b.order,
  "date-new": (a, b) => (b.date > a.date) - (b.date < a.date) || (!a.date - !b.date),
  "date-old": (a, b) => (!a.date - !b.date) || (a.date > b.date) - (a.date < b.date),
  "size-large": (a, b) => b.row[F.size] - a.row[F.size],
  "size-small": (a, b) => a.row[F.size] - b.row[F.size],
};
const share = (card, i) => hasShares(card.row) ? card.row[F[COLORS[i][0]]] : -1;

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
