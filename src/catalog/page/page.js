"use strict";
const COLORS = [["blue", "#5555ff"], ["green", "#55ff55"], ["cyan", "#55ffff"], ["red", "#ff5555"],
                ["magenta", "#ff55ff"], ["yellow", "#ffff55"], ["gray", "#aaaaaa"]];
const BATCH = 24;
const rows = JSON.parse(document.getElementById("rows").textContent);
rows.pop();
document.getElementById("rows").textContent = "";  // its text is held twice otherwise
// The first entry names the fields of the records after it, as the table names its columns, so
// row[F.title] is a record's title.
const F = Object.fromEntries((rows.shift() || []).map((name, i) => [name, i]));
// A column an older catalogue does not have reads as absent.
const field = (row, name) => Object.hasOwn(F, name) ? row[F[name]] : null;
const pictures = document.body.dataset.pictures;
const root = document.body.dataset.root;  // the folder the table's paths start from

// The SAUCE date as the record gives it, in ISO form where it is a real date.
const dateOf = row => row[F.date_iso] ?? row[F.date];
// A file that was not read has no colour shares.
const hasShares = row => row[F.blue] != null;
const baseName = path => String(path).split("/").pop();
const isDiz = row => baseName(row[F.member]).toLowerCase() === "file_id.diz";
const isNfo = row => /\.nfo$/i.test(row[F.member]);

// A card's warnings and date are found when first asked for, not at load.
class Card {
  constructor(row, order) {
    this.row = row;
    this.copies = [row];
    this.order = order;
  }
  get warnings() {
    if (this.warningList) return this.warningList;
    const warnings = new Set();
    for (const copy of this.copies) {
      for (const warning of copy[F.sauce_warnings] || []) warnings.add(warning);
      if (copy[F.error]) warnings.add(copy[F.error]);
    }
    return this.warningList = [...warnings];
  }
  get date() {
    return this.digits ??= String(dateOf(this.row) || "").replace(/\D/g, "");
  }
}

// One card for each art, its copies listed on it; a row without art that failed is its own card.
// Every other row is a pack's own, or a member or file that is no art: listed, never a card.
const cards = [];
const byArt = new Map();
const failed = new Map();  // the card of each row that failed without art
const packs = new Map();  // each pack's own row and its members, in the pack's order
const others = [];        // files outside packs that are no art
const packOf = path => packs.get(path) ||
                       packs.set(path, {path, row: null, members: [], order: packs.size}).get(path);
for (const row of rows) {
  if (row[F.pack]) {
    const pack = packOf(row[F.pack]);
    if (!row[F.member]) {
      pack.row = row;
      continue;
    }
    pack.members.push(row);
  }
  const art = row[F.art_md5];
  if (!art && !row[F.error]) {
    if (!row[F.pack]) others.push(row);
    continue;
  }
  if (art && byArt.has(art)) {
    byArt.get(art).copies.push(row);
    continue;
  }
  const card = new Card(row, cards.length);
  if (art) byArt.set(art, card);
  else failed.set(row, card);
  cards.push(card);
}
const cardOf = row => byArt.get(row[F.art_md5]) || failed.get(row);
// What a search or the group box looks through, made when it is first needed, not at load.
function makeSearchable(card) {
  if (card.text !== undefined) return;
  card.text = card.copies.map(copy => [copy[F.path], copy[F.title], copy[F.author], copy[F.group]]
                                          .join("\n")).join("\n").toLowerCase();
  card.groups = card.copies.map(copy => String(copy[F.group] || "").toLowerCase());
}

// A pack's date is that of its newest dated drawing; a drawing without one takes its pack's.
function packDate(pack) {
  if (pack.date === undefined) {
    pack.date = "";
    for (const member of pack.members) {
      const card = member[F.art_md5] && byArt.get(member[F.art_md5]);
      if (card && card.date > pack.date) pack.date = card.date;
    }
  }
  return pack.date;
}
const yearOf = date => /^[1-9]\d{3}/.test(date) ? date.slice(0, 4) : "";
const cardYear = card => yearOf(card.date) ||
                         yearOf(card.row[F.pack] ? packDate(packOf(card.row[F.pack])) : "");

// Artists and groups are found by their folded key where the catalogue has one, else by the name
// in lower case; each keeps the spellings it was written in.
const KEYS = {artist: ["author", "author_key"], group: ["group", "group_key"]};
function keyOf(row, kind) {
  const [name, key] = KEYS[kind];
  return field(row, key) || String(row[F[name]] || "").trim().replace(/\s+/g, " ").toLowerCase();
}
const named = {};
function names(kind) {
  if (named[kind]) return named[kind];
  const byKey = new Map();
  for (const card of cards) {
    const seen = new Set();
    for (const copy of card.copies) {
      const key = keyOf(copy, kind);
      if (!key) continue;
      const entry = byKey.get(key) || byKey.set(key, {key, spellings: new Map(), cards: []}).get(key);
      const spelling = copy[F[KEYS[kind][0]]];
      entry.spellings.set(spelling, (entry.spellings.get(spelling) || 0) + 1);
      if (!seen.has(key)) entry.cards.push(card);
      seen.add(key);
    }
  }
  return named[kind] = byKey;
}
// A name as it is most often written.
const spelling = entry => [...entry.spellings].sort((a, b) => b[1] - a[1])[0][0];

const $ = id => document.getElementById(id);
// The commonest groups are offered as the group box is first used, not as the page loads.
$("group").addEventListener("focus", () => {
  const list = $("groups");
  if (list.childElementCount > 0) return;
  const commonest = [...names("group").values()].sort((a, b) => b.cards.length - a.cards.length);
  for (const entry of commonest.slice(0, 1000)) list.append(new Option(spelling(entry)));
}, {once: true});
COLORS.forEach(([name], i) => $("sort").add(new Option("Most " + name, "share-" + i)));

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}
function link(href, text, className) {
  const node = element("a", className, text);
  node.href = href;
  return node;
}

function size(bytes) {
  return bytes < 1024 ? bytes + " B" : bytes < 1048576 ? (bytes / 1024).toFixed(1) + " KB"
                                                       : (bytes / 1048576).toFixed(1) + " MB";
}

// Addresses: "#/view/argument?sort=...&q=...", the argument one encoded component.
function address(view, arg, params) {
  const query = params ? params.toString() : "";
  return "#/" + view + (arg ? "/" + encodeURIComponent(arg) : "") + (query ? "?" + query : "");
}
// A file as the page reaches it: the table's paths start from the catalogue's folder.
const fileUrl = path => (path.startsWith("/") ? "" : root) +
                        path.split("/").map(encodeURIComponent).join("/");
const thumbnailUrl = row => pictures && row[F.thumbnail] ? pictures + row[F.art_md5] + ".png" : "";
const pictureUrl = row => field(row, "picture") ? fileUrl(field(row, "picture")) : thumbnailUrl(row);

function picture(row, url, className) {
  const img = element("img", className);
  img.loading = "lazy";
  img.alt = row[F.title] || baseName(row[F.path]);
  img.src = url;
  return img;
}

function colorBar(row) {
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
  return bar;
}

// Who made a drawing and when, each a link to its own view.
function byline(row, card) {
  const line = element("div", "meta");
  const parts = [];
  if (row[F.author]) parts.push(link(address("artist", keyOf(row, "artist")), row[F.author]));
  if (row[F.group]) parts.push(link(address("group", keyOf(row, "group")), row[F.group]));
  const year = card ? cardYear(card) : "";
  if (dateOf(row)) parts.push(year ? link(address("year", year), dateOf(row)) : dateOf(row));
  parts.forEach((part, i) => line.append(i ? " \u00b7 " : "", part));
  return parts.length ? line : null;
}

function cardElement(card) {
  const row = card.row;
  const node = element("article", "card");
  const full = address("file", row[F.path]);
  if (thumbnailUrl(row)) {
    const img = picture(row, thumbnailUrl(row), "pic");
    img.width = 320;  // the card keeps its size while the picture loads; the top of it shows
    img.height = 240;
    node.append(link(full, ""));
    node.lastChild.append(img);
  } else {
    node.append(link(full, row[F.error] ? "not read" : "no picture", "none"));
  }
  node.append(link(full, row[F.title] || baseName(row[F.path]), "title"));
  const by = byline(row, card);
  if (by) node.append(by);
  node.append(element("div", "path", row[F.path]));
  if (row[F.pack]) {
    node.append(element("div", "meta", "in "));
    node.lastChild.append(link(address("pack", row[F.pack]), row[F.pack]));
  }
  if (hasShares(row)) {
    node.append(colorBar(row));
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

// A pack as a card: its FILE_ID.DIZ as its picture.
function packCard(pack) {
  const node = element("article", "card pack");
  const view = address("pack", pack.path);
  const diz = pack.members.find(isDiz);
  if (diz && thumbnailUrl(diz)) {
    node.append(link(view, ""));
    node.lastChild.append(picture(diz, thumbnailUrl(diz), "diz"));
  }
  node.append(link(view, baseName(pack.path), "title"));
  const date = packDate(pack);
  node.append(element("div", "meta", [pack.members.length + " files", date].filter(Boolean)
                                         .join(" \u00b7 ")));
  if (pack.row && pack.row[F.error]) node.append(element("div", "warn", pack.row[F.error]));
  return node;
}

const SORTS = {
  "date-new": (a, b) => (b.date > a.date) - (b.date < a.date) || (!a.date - !b.date),
  "date-old": (a, b) => (!a.date - !b.date) || (a.date > b.date) - (a.date < b.date),
  "size-large": (a, b) => b.row[F.size] - a.row[F.size],
  "size-small": (a, b) => a.row[F.size] - b.row[F.size],
};
// "Most blue" is the colour's share of the whole drawing, black included, where the catalogue
// has it: a drawing mostly black with some blue is not mostly blue.
function colorRank(card, i) {
  if (!hasShares(card.row)) return -1;
  return field(card.row, COLORS[i][0] + "_area") ?? card.row[F[COLORS[i][0]]];
}

let shown = [];
let drawn = 0;
let viewSort = "order";
let drawItem = cardElement;
function drawMore() {
  const end = Math.min(drawn + BATCH, shown.length);
  const here = document.createDocumentFragment();
  for (; drawn < end; drawn++) here.append(drawItem(shown[drawn]));
  $("cards").append(here);
  // Still in view: the observer says nothing more until it leaves and comes back.
  if (drawn < shown.length && $("more").getBoundingClientRect().top < innerHeight + 800)
    requestAnimationFrame(drawMore);
}

// The cards of a view, through the search, the group box, the warnings box and the sort.
function show(list, params, defaultSort, what) {
  const words = (params.get("q") || "").toLowerCase().split(/\s+/).filter(Boolean);
  const group = (params.get("group") || "").trim().toLowerCase();
  const warned = params.get("warned") === "1";
  shown = list.filter(card => {
    if (words.length > 0 || group) makeSearchable(card);
    return words.every(word => card.text.includes(word)) &&
           (!group || card.groups.some(name => name.includes(group))) &&
           (!warned || card.warnings.length > 0);
  });
  viewSort = defaultSort;
  const sort = params.get("sort") || defaultSort;
  $("sort").value = sort;
  if (sort.startsWith("share-")) {
    const i = Number(sort.slice(6));
    shown.sort((a, b) => colorRank(b, i) - colorRank(a, i) || a.order - b.order);
  } else if (sort !== "order") {  // in table order, or the pack's, already
    shown.sort((a, b) => (SORTS[sort] || (() => 0))(a, b) || a.order - b.order);
  }
  $("count").textContent = shown.length + " of " + list.length + " " + what;
  drawItem = cardElement;
}

function heading(text, ...rest) {
  const node = element("h1", "", text);
  $("top").append(node, ...rest);
  return node;
}

// An index: every year, pack, artist or group with how many drawings it has.
function showIndex(title, entries, params) {
  const words = (params.get("q") || "").toLowerCase().split(/\s+/).filter(Boolean);
  const kept = entries.filter(entry => words.every(word => entry.text.includes(word)));
  heading(title);
  const list = element("ul", "index");
  for (const entry of kept) {
    const item = element("li");
    item.append(link(entry.href, entry.name), element("span", "meta", " " + entry.count));
    list.append(item);
  }
  $("top").append(list);
  $("count").textContent = kept.length + " of " + entries.length;
}

function nameIndex(kind, title, params) {
  const entries = [...names(kind).values()]
      .sort((a, b) => b.cards.length - a.cards.length || (a.key > b.key) - (a.key < b.key))
      .map(entry => ({name: spelling(entry), href: address(kind, entry.key), count: entry.cards.length,
                      text: [...entry.spellings.keys()].join("\n").toLowerCase()}));
  showIndex(title, entries, params);
}

function yearIndex(params) {
  const counts = new Map();
  for (const card of cards) {
    const year = cardYear(card) || "";
    counts.set(year, (counts.get(year) || 0) + 1);
  }
  const entries = [...counts].sort((a, b) => (a[0] > b[0]) - (a[0] < b[0])).map(([year, count]) =>
      ({name: year || "no date", href: address("year", year || "none"), count, text: year}));
  showIndex("Years", entries, params);
}

function packIndex(params) {
  const entries = [...packs.values()].map(pack => ({name: pack.path, href: address("pack", pack.path),
                                                    count: pack.members.length,
                                                    text: pack.path.toLowerCase()}));
  showIndex("Packs", entries, params);
}

// A year: its packs, then the drawings outside packs.
function yearView(year, params) {
  const wanted = year === "none" ? "" : year;
  heading(year === "none" ? "No date" : year);
  const packsHere = [...packs.values()].filter(pack => yearOf(packDate(pack)) === wanted);
  if (packsHere.length) {
    const list = element("div", "packs");
    for (const pack of packsHere) list.append(packCard(pack));
    $("top").append(list);
  }
  show(cards.filter(card => !card.row[F.pack] && cardYear(card) === wanted), params, "date-old",
       "drawings outside packs");
}

function nameView(kind, key, params) {
  const entry = names(kind).get(key);
  const head = heading(entry ? spelling(entry) : key);
  if (entry && entry.spellings.size > 1)
    head.after(element("div", "meta", "also written " + [...entry.spellings.keys()].join(", ")));
  show(entry ? entry.cards : [], params, "date-old", "drawings");
}

function table(pairs) {
  const list = element("dl");
  for (const [name, value] of pairs) {
    if (value === null || value === undefined || value === "") continue;
    list.append(element("dt", "", name));
    const cell = element("dd");
    cell.append(value);
    list.append(cell);
  }
  return list;
}

// Files listed as the pack holds them, art or not; a long list is made when it is opened.
function memberList(members, nameOf) {
  const details = element("details", "members");
  details.append(element("summary", "", members.length + " files"));
  const fill = () => {
    if (details.childElementCount > 1) return;
    const list = element("table");
    for (const member of members) {
      const line = list.insertRow();
      const art = member[F.art_md5] || member[F.error];
      line.insertCell().append(art ? link(address("file", member[F.path]), nameOf(member))
                                   : nameOf(member));
      line.insertCell().append(member[F.format] || "");
      line.insertCell().append(size(member[F.size]));
      line.insertCell().append(element("span", "path", member[F.md5] || ""));
      line.insertCell().append(element("span", "warn", member[F.error] || ""));
    }
    details.append(list);
  };
  details.addEventListener("toggle", fill);
  details.open = members.length <= 200;
  if (details.open) fill();
  return details;
}

// The other packs that hold any of this pack's art, most shared first.
function sharedPacks(pack) {
  const shared = new Map();
  for (const member of pack.members) {
    const card = member[F.art_md5] && byArt.get(member[F.art_md5]);
    if (!card) continue;
    const seen = new Set();
    for (const copy of card.copies) {
      const other = copy[F.pack];
      if (!other || other === pack.path || seen.has(other)) continue;
      seen.add(other);
      shared.set(other, (shared.get(other) || 0) + 1);
    }
  }
  const list = element("ul");
  for (const [other, count] of [...shared].sort((a, b) => b[1] - a[1])) {
    const item = element("li");
    item.append(link(address("pack", other), other), " (" + count + ")");
    list.append(item);
  }
  return shared.size ? list : null;
}

// A pack: its FILE_ID.DIZ, then its NFO, then its members in the pack's order.
function packView(path, params) {
  const pack = packs.get(path);
  heading(baseName(path));
  if (!pack) return show([], params, "order", "drawings");
  const row = pack.row;
  $("top").append(table([
    ["Path", link(fileUrl(path), path)],
    ["Size", row && size(row[F.size])],
    ["MD5", row && row[F.md5]],
    ["Error", row && row[F.error]],
    ["Date", yearOf(packDate(pack)) &&
                 link(address("year", yearOf(packDate(pack))),
                      packDate(pack).replace(/^(\d{4})(\d\d)(\d\d)$/, "$1-$2-$3"))],
    ["Shares art with", sharedPacks(pack)],
  ]));
  for (const member of [...pack.members.filter(isDiz), ...pack.members.filter(isNfo)]) {
    const url = pictureUrl(member);
    if (!url) continue;
    const frame = link(address("file", member[F.path]), "", "drawn");
    frame.append(picture(member, url, "whole"));
    // A thumbnail's cells are a few pixels wide: twice its size reads as the text it is.
    if (!field(member, "picture")) frame.lastChild.style.width = "640px";
    $("top").append(element("div", "meta", member[F.member]), frame);
  }
  $("top").append(memberList(pack.members, member => member[F.member]));
  const here = [];
  for (const member of pack.members) {
    const card = (member[F.art_md5] || member[F.error]) && cardOf(member);
    if (card && !here.includes(card)) here.push(card);
  }
  show(here, params, "order", "drawings in the pack");
}

function copyList(title, copies) {
  if (!copies.length) return null;
  const list = element("ul");
  for (const copy of copies) {
    const item = element("li");
    item.append(link(address("file", copy[F.path]), copy[F.path]));
    list.append(item);
  }
  return [title, list];
}

// One drawing whole, at full size, with all the catalogue knows of it.
function fileView(path) {
  const row = rows.find(candidate => candidate[F.path] === path);
  heading(row ? row[F.title] || baseName(path) : path);
  $("count").textContent = "";
  shown = [];
  if (!row) return;
  const view = element("div", "full");
  const canvas = element("div", "canvas");
  const url = pictureUrl(row);
  const zoom = element("select");
  for (const [name, value] of [["Fit", "0"], ["1\u00d7", "1"], ["2\u00d7", "2"], ["3\u00d7", "3"]])
    zoom.add(new Option(name, value, value === "1", value === "1"));
  if (url) {
    const img = picture(row, url, "whole");
    img.loading = "eager";
    canvas.append(img);
    const fit = () => { img.style.width = zoom.value === "0" ? "100%"
                                                              : img.naturalWidth * zoom.value + "px"; };
    zoom.addEventListener("change", fit);
    img.addEventListener("load", fit);
  } else {
    canvas.append(element("div", "none", row[F.error] ? "not read" : "no picture"));
  }
  const side = element("aside");
  const links = element("div", "links");
  if (row[F.pack]) {
    links.append(link(address("pack", row[F.pack]), "The pack"), " \u00b7 ",
                 link(fileUrl(row[F.pack]), "Download the pack"));
  } else {
    links.append(link(fileUrl(path), "The file"));
  }
  if (url) links.append(" \u00b7 Zoom ", zoom);
  side.append(links);
  const by = byline(row, row[F.art_md5] ? byArt.get(row[F.art_md5]) : null);
  if (by) side.append(by);
  side.append(table([
    ["Path", path], ["Pack", row[F.pack] && link(address("pack", row[F.pack]), row[F.pack])],
    ["Member", row[F.member]], ["Size", size(row[F.size])],
    ["MD5", row[F.md5]], ["Art MD5", row[F.art_md5]], ["Format", row[F.format]],
    ["Screen", row[F.screen_width] != null ? row[F.screen_width] + " \u00d7 " + row[F.screen_lines]
                                           : null],
    ["Title", row[F.title]], ["Author", row[F.author]], ["Group", row[F.group]],
    ["Date", dateOf(row)], ["Width", row[F.width]], ["Lines", row[F.lines]], ["Font", row[F.font]],
    ["iCE colours", row[F.ice_colors] == null ? null : String(row[F.ice_colors])],
    ["Letter spacing", row[F.letter_spacing]], ["Aspect ratio", row[F.aspect_ratio]],
    ["Comments", row[F.comments] ? row[F.comments].join("\n") : null],
  ]));
  if (hasShares(row)) {
    side.append(element("h2", "", "Colours"), colorBar(row));
    side.append(table(COLORS.map(([name]) => {
      const area = field(row, name + "_area");
      return [name, row[F[name]] + "% of the coloured cells" +
                        (area == null ? "" : ", " + area + "% of the area")];
    })));
    side.append(element("div", "meta", row[F.colors_used] + " colours \u00b7 " + row[F.verdict]));
  }
  const warnings = [...(row[F.sauce_warnings] || []), row[F.error]].filter(Boolean);
  if (warnings.length) side.append(element("h2", "", "Warnings"));
  for (const warning of warnings) side.append(element("div", "warn", warning));
  const notThis = candidate => candidate !== row;
  const sameFile = rows.filter(r => notThis(r) && r[F.md5] && r[F.md5] === row[F.md5]);
  const sameArt = rows.filter(r => notThis(r) && r[F.art_md5] && r[F.art_md5] === row[F.art_md5] &&
                                   !sameFile.includes(r));
  const look = field(row, "screen_md5");
  const sameLook = look ? rows.filter(r => notThis(r) && field(r, "screen_md5") === look &&
                                           !sameFile.includes(r) && !sameArt.includes(r)) : [];
  const copies = [copyList("Same file", sameFile), copyList("Same art", sameArt),
                  copyList("Looks the same", sameLook)].filter(Boolean);
  if (copies.length) side.append(element("h2", "", "Copies"), table(copies));
  view.append(canvas, side);
  $("top").append(view);
}

// What the address asks for. "#q=words" is how earlier pages kept a search.
function parse() {
  let hash = location.hash.slice(1);
  if (hash.startsWith("q=")) hash = "/search?" + hash;
  const at = hash.indexOf("?");
  const path = at < 0 ? hash : hash.slice(0, at);
  const params = new URLSearchParams(at < 0 ? "" : hash.slice(at + 1));
  const [view = "", ...rest] = path.replace(/^\//, "").split("/");
  let arg = rest.join("/");
  try { arg = decodeURIComponent(arg); } catch { /* left as written */ }
  return {view, arg, params};
}

let current = parse();
function route(scroll) {
  const started = performance.now();
  current = parse();
  const {view, arg, params} = current;
  // A box being typed in keeps its spaces: only an address that says otherwise changes it.
  for (const [id, name] of [["search", "q"], ["group", "group"]]) {
    if ($(id).value.trim() !== (params.get(name) || "")) $(id).value = params.get(name) || "";
  }
  $("warned").checked = params.get("warned") === "1";
  $("top").textContent = "";
  $("cards").textContent = "";
  $("count").textContent = "";
  shown = [];
  document.body.dataset.view = view || "drawings";
  if (view === "pack" && arg) packView(arg, params);
  else if (view === "packs" || view === "pack") packIndex(params);
  else if (view === "year" && arg) yearView(arg, params);
  else if (view === "years" || view === "year") yearIndex(params);
  else if ((view === "artist" || view === "group") && arg) nameView(view, arg, params);
  else if (view === "artists" || view === "artist") nameIndex("artist", "Artists", params);
  else if (view === "groups" || view === "group") nameIndex("group", "Groups", params);
  else if (view === "file") fileView(arg);
  else if (view === "others") {
    heading("Files outside packs that are no art");
    $("top").append(memberList(others, row => row[F.path]));
  } else {
    if (view === "search") heading("Search");
    show(cards, params, "order", "drawings");
    if (others.length && view !== "search")
      $("top").append(link(address("others"), others.length + " files outside packs are no art"));
  }
  drawn = 0;
  drawMore();
  // Back comes to where the view was left: the cards down to there are drawn again.
  if (scroll) {
    while (drawn < shown.length && $("more").offsetTop < scroll + innerHeight) drawMore();
    scrollTo(0, scroll);
  } else {
    scrollTo(0, 0);
  }
  void document.body.offsetHeight;  // the time includes laying the view out
  document.body.dataset.viewMs = Math.round(performance.now() - started);
}

// The boxes change the address in place: a view, however narrowed, can be kept and sent.
function narrow() {
  const params = new URLSearchParams(current.params);
  const set = (name, value) => value ? params.set(name, value) : params.delete(name);
  set("q", $("search").value.trim());
  set("group", $("group").value.trim());
  set("warned", $("warned").checked ? "1" : "");
  set("sort", $("sort").value === viewSort ? "" : $("sort").value);
  // A drawing's view has no cards to narrow: its boxes start a search, and Back returns to it.
  if (current.view === "file") history.pushState(null, "", address("search", "", params));
  else history.replaceState(null, "", address(current.view, current.arg, params));
  route();
}
let typing;
for (const id of ["search", "group"])
  $(id).addEventListener("input", () => { clearTimeout(typing); typing = setTimeout(narrow, 120); });
for (const id of ["warned", "sort"]) $(id).addEventListener("change", narrow);
addEventListener("hashchange", () => route(history.state && history.state.scroll));
// A view left by a link keeps how far down it was, for Back to come to.
history.scrollRestoration = "manual";
addEventListener("click", event => {
  if (event.target.closest("a[href^='#']")) history.replaceState({scroll: scrollY}, "");
}, true);
new IntersectionObserver(entries => { if (entries.some(e => e.isIntersecting)) drawMore(); },
                         {rootMargin: "800px"}).observe($("more"));
route();
document.body.dataset.readyMs = Math.round(performance.now());
