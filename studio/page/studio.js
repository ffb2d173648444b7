// The studio page: edits a command file's grid and chain and shows the
// server's relief of its output, and a 3D view of the same heights, after
// every change.
import { getJson, postJson, putText, postPreview } from "./api.js";
import { setUpExports, showWorld, worldScale } from "./exports.js";

const HEADER_FIELDS = ["hostWindow", "tilesX", "tilesZ", "tileWidth", "tileHeight", "lowerX", "upperX",
  "lowerZ", "upperZ", "seedBase", "preview"];

const state = {
  vocabulary: null,   // from /api/vocabulary
  header: {},         // the twelve header fields but moduleCount
  rows: [],           // {id, values: [type, p1, p2, p3, p4]}
  nextId: 0,
  sequence: 0,
  channel: Math.random().toString(36).slice(2, 12),
  timer: 0,
  picture: null,
  changedAt: 0,       // when the change that the next preview shows was made
  answeredAt: 0,      // the changedAt of the latest preview the server answered
  view3d: null,       // the TerrainView, once three has loaded
  noteRows: new Set(),  // ids of the rows whose previous-row input a move changed
  busy3d: false,      // a request for the 3D view's heights is in flight
  wanted3d: null,     // the newest picture whose heights the 3D view should show next
  shown: null,        // {settings, sequence, picture} of the relief shown
  folderFiles: [],    // the .txt files of the studio's folder, command files or not
  openedName: "",     // the folder's file last opened or saved, "" for an example
  previewId: null,    // the id of the row whose own output is shown, null for the chain's
  history: [],        // the settings after each edit, as JSON text, for undo and redo
  historyAt: -1,      // the place in `history` of the settings shown
  historyTimer: 0,    // a pause in the edits before they are remembered
};

// Edits closer together than this are undone together (the keys typed
// into one field, a slider dragged).
const HISTORY_PAUSE_MS = 300;

// The 3D view samples at most this many points a side; the relief takes
// the whole preview size.
const LARGEST_3D_SIDE = 256;
const QUIET_BEFORE_3D_MS = 200;

const $ = (id) => document.getElementById(id);

function kindOf(type) {
  const types = state.vocabulary.types;
  return type >= 0 && type < types.length ? types[type] : state.vocabulary.fallback;
}

// The fewest digits that give back the float `value` (0.1 rather than
// 0.10000000149011612): number fields hold single-precision floats.
function floatText(value) {
  for (let digits = 1; digits <= 9; ++digits) {
    const text = Number(value.toPrecision(digits));
    if (Math.fround(text) === Math.fround(value)) return String(text);
  }
  return String(value);
}

function status(text) { $("status").textContent = text; }

function newRow(values) { return { id: state.nextId++, values: values.slice() }; }

function setSettings(settings) {
  for (const name of HEADER_FIELDS) state.header[name] = settings[name];
  state.rows = settings.rows.map(newRow);
  state.noteRows.clear();
  $("move-note").textContent = "";
  renderGrid();
  renderRows();
  changed();
}

function currentSettings() {
  return { ...state.header, rows: state.rows.map((row) => row.values) };
}

// The settings whose output the relief shows: the chain up to the row
// shown on its own (rows read only earlier rows), else the whole chain.
function shownSettings() {
  const index = state.rows.findIndex((row) => row.id === state.previewId);
  const rows = index < 0 ? state.rows : state.rows.slice(0, index + 1);
  return { ...state.header, rows: rows.map((row) => row.values) };
}

// Shows row i's own output, or the chain's again when it is shown already.
function togglePreview(i) {
  const id = state.rows[i].id;
  state.previewId = state.previewId === id ? null : id;
  renderRows();
  changed();
}

// ---- grid ----

function renderGrid() {
  for (const input of document.querySelectorAll("[data-grid]")) {
    const name = input.dataset.grid;
    if (input.type === "checkbox") input.checked = state.header[name] !== 0;
    else input.value = input.step === "any" ? floatText(state.header[name]) : state.header[name];
  }
  describeGrid();
}

// The size of the whole height array that the exports write.
function describeGrid() {
  const h = state.header;
  const width = h.tilesX * h.tileWidth;
  const height = h.tilesZ * h.tileHeight;
  $("grid-note").textContent = Number.isFinite(width * height) && width > 0 && height > 0
    ? `whole area: ${width} x ${height} heights in ${h.tilesX * h.tilesZ} tiles` : "";
  document.querySelector(`[data-export="noise"]`).textContent =
    h.preview !== 0 ? "noise_arr.txt + tutorial.bmp" : "noise_arr.txt";
}

function onGridInput(event) {
  const input = event.target;
  const name = input.dataset.grid;
  if (!name) return;
  if (input.type === "checkbox") state.header[name] = input.checked ? 1 : 0;
  else if (input.value !== "" && Number.isFinite(Number(input.value))) state.header[name] = Number(input.value);
  else return;
  describeGrid();
  changed();
}

// ---- rows ----

function sliderFor(f, isInteger, value) {
  const slider = document.createElement("input");
  slider.type = "range";
  const [lower, upper] = f.range;
  // An open end stops at 0 (below) or 100 past the lower end (above), or
  // at the value where it lies beyond.
  slider.min = lower ?? Math.min(0, value);
  slider.max = upper ?? Math.max(lower + 100, value);
  slider.step = isInteger ? 1 : "any";
  slider.value = value;
  slider.title = `${lower ?? "…"} .. ${upper ?? "…"}`;
  return slider;
}

function sourceControl(row, index, value, rowIndex) {
  const select = document.createElement("select");
  for (let k = 0; k < rowIndex; ++k) {
    select.add(new Option(`row ${k}: ${kindOf(state.rows[k].values[0]).name}`, k));
  }
  const named = Math.trunc(value);
  if (named < 0 || named >= rowIndex) select.add(new Option(`row ${named} (no earlier row)`, named));
  select.value = named;
  select.addEventListener("change", () => { row.values[index + 1] = Number(select.value); changed(); });
  return select;
}

function fieldControl(row, index, f, rowIndex) {
  const wrap = document.createElement("div");
  wrap.className = "field";
  wrap.dataset.field = f.name;
  const label = document.createElement("label");
  label.textContent = `${f.name}: ${f.sets}`;
  wrap.append(label);
  const value = row.values[index + 1];
  if (f.use === "notRead") {
    wrap.classList.add("unused");
  } else if (f.use === "rowIndex") {
    wrap.append(sourceControl(row, index, value, rowIndex));
  } else {
    const isInteger = index === 0;
    const number = document.createElement("input");
    number.type = "number";
    number.step = isInteger ? "1" : "any";
    number.value = isInteger ? value : floatText(value);
    number.setAttribute("aria-label", `row ${rowIndex} ${f.name}: ${f.sets}`);
    wrap.append(number);
    const slider = f.range ? sliderFor(f, isInteger, value) : null;
    const set = (text) => {
      if (text === "" || !Number.isFinite(Number(text))) return;
      row.values[index + 1] = Number(text);
      changed();
    };
    if (slider) {
      slider.addEventListener("input", () => { number.value = slider.value; set(slider.value); });
      wrap.append(slider);
    }
    number.addEventListener("input", () => { if (slider) slider.value = number.value; set(number.value); });
    if (f.sets.startsWith("seed")) {
      // Another whole number from 0 to 999: a seed from p4 x 10 or from p4.
      wrap.append(button("new seed", "Give the row another seed", () => {
        const scale = f.sets.includes("p4 x 10") ? 10 : 1;
        let next = number.value;
        while (next === number.value) next = String(Math.floor(Math.random() * 1000) / scale);
        number.value = next;
        set(next);
      }, false));
    }
  }
  const error = document.createElement("span");
  error.className = "error";
  wrap.append(error);
  return wrap;
}

function typeControl(row) {
  const type = document.createElement("select");
  for (const kind of state.vocabulary.types) type.add(new Option(`${kind.code} ${kind.name}`, kind.code));
  if (kindOf(row.values[0]) === state.vocabulary.fallback) {
    type.add(new Option(`code ${row.values[0]}: ${state.vocabulary.fallback.name}`, row.values[0]));
  }
  type.value = row.values[0];
  type.addEventListener("change", () => {
    const kind = kindOf(Number(type.value));
    // A field that means the same in both types (octave count, frequency,
    // persistence and seed between Perlin and Billow) keeps its value.
    const old = kindOf(row.values[0]).fields;
    const same = (f, index) => old[index] && f.use !== "notRead" && old[index].use === f.use &&
      old[index].sets === f.sets;
    row.values = [kind.code ?? Number(type.value),
      ...kind.fields.map((f, index) => (same(f, index) ? row.values[index + 1] : f.default))];
    renderRows();
    changed();
  });
  return type;
}

// A short line on what the row reads: "reads row 2 (previous row) as
// source 0, row 0 as source 1".
function inputsText(row, rowIndex) {
  const kind = kindOf(row.values[0]);
  return kind.inputs.map((input) => {
    let from;
    if (input.from === "previous") from = rowIndex > 0 ? `row ${rowIndex - 1} (the previous row)` : "no row";
    else from = `row ${Math.trunc(row.values[input.from === "p1" ? 1 : 2])}`;
    return `${input.role} ← ${from}`;
  }).join(", ");
}

function rowItem(row, rowIndex) {
  const item = document.createElement("li");
  item.dataset.row = rowIndex;
  if (state.noteRows.has(row.id)) item.classList.add("reads-new");
  const head = document.createElement("div");
  head.className = "row-head";
  const up = button("↑", "Move up", () => move(rowIndex, -1), rowIndex === 0);
  const down = button("↓", "Move down", () => move(rowIndex, 1), rowIndex === state.rows.length - 1);
  const remove = button("✕", "Remove", () => removeRow(rowIndex), state.rows.length === 1);
  const own = button("◉", "Show this row's own output; again for the chain's", () => togglePreview(rowIndex), false);
  own.className = "show-row";
  if (row.id === state.previewId) item.classList.add("previewed");
  const inputs = document.createElement("span");
  inputs.className = "inputs";
  inputs.textContent = inputsText(row, rowIndex);
  const error = document.createElement("span");
  error.className = "error";
  head.append(typeControl(row), up, down, remove, own, inputs);
  const fields = document.createElement("div");
  fields.className = "fields";
  kindOf(row.values[0]).fields.forEach((f, index) => fields.append(fieldControl(row, index, f, rowIndex)));
  item.append(head, error, fields);
  return item;
}

function button(text, title, action, disabled) {
  const b = document.createElement("button");
  b.textContent = text;
  b.title = title;
  b.disabled = disabled;
  b.addEventListener("click", action);
  return b;
}

function renderRows() {
  $("rows").replaceChildren(...state.rows.map(rowItem));
}

// The fields of `values` that name rows by index.
function indexFields(values) {
  const result = [];
  kindOf(values[0]).fields.forEach((f, index) => { if (f.use === "rowIndex") result.push(index + 1); });
  return result;
}

// For each row with a previous-row input, by id: the id of the row it
// reads, or null for the first row, which has none.
function previousReaders() {
  const reads = new Map();
  state.rows.forEach((row, i) => {
    if (kindOf(row.values[0]).inputs.some((input) => input.from === "previous")) {
      reads.set(row.id, i > 0 ? state.rows[i - 1].id : null);
    }
  });
  return reads;
}

// Moves row i by `step` (-1 or 1); sources named by index follow the rows.
function move(i, step) {
  const j = i + step;
  const before = previousReaders();
  [state.rows[i], state.rows[j]] = [state.rows[j], state.rows[i]];
  for (const row of state.rows) {
    for (const f of indexFields(row.values)) {
      const k = Math.trunc(row.values[f]);
      if (k === i) row.values[f] = j;
      else if (k === j) row.values[f] = i;
    }
  }
  describeMove(before, previousReaders());
  renderRows();
  changed();
}

// Says which rows read another row through their previous-row input since
// the move, since that input does not follow the rows.
function describeMove(before, after) {
  const place = new Map(state.rows.map((row, i) => [row.id, i]));
  const name = (id) => `row ${place.get(id)} (${kindOf(state.rows[place.get(id)].values[0]).name})`;
  const notes = [];
  state.noteRows.clear();
  for (const [reader, previous] of after) {
    if (before.get(reader) === previous) continue;
    state.noteRows.add(reader);
    notes.push(previous === null ? `${name(reader)} now has no previous row to read`
      : `${name(reader)} now reads ${name(previous)} as its previous row`);
  }
  $("move-note").textContent = notes.length ? `The move changed an implicit input: ${notes.join("; ")}.` : "";
}

// Removes row i. Sources that named a later row follow it; a source that
// named row i names no row any more (-1) until another is chosen.
function removeRow(i) {
  const removed = state.rows[i];
  state.rows.splice(i, 1);
  const dangling = [];
  state.rows.forEach((row, r) => {
    for (const f of indexFields(row.values)) {
      const k = Math.trunc(row.values[f]);
      if (k > i) row.values[f] -= 1;
      else if (k === i) {
        row.values[f] = -1;
        dangling.push(`row ${r} p${f}`);
      }
    }
  });
  state.noteRows.clear();
  $("move-note").textContent = dangling.length
    ? `${dangling.join(", ")} named the removed ${kindOf(removed.values[0]).name} row: choose another source.` : "";
  renderRows();
  changed();
}

function addRow() {
  const kind = state.vocabulary.types[0];
  state.rows.push(newRow([kind.code, ...kind.fields.map((f) => f.default)]));
  renderRows();
  changed();
}

function changed() {
  state.changedAt = performance.now();
  const index = state.rows.findIndex((row) => row.id === state.previewId);
  if (index < 0) state.previewId = null;
  $("row-shown").textContent = index < 0 ? ""
    : `showing row ${index}'s own output (${kindOf(state.rows[index].values[0]).name}); ◉ again shows the chain's`;
  for (const [i, row] of state.rows.entries()) {
    const inputs = document.querySelector(`#rows li[data-row="${i}"] .inputs`);
    if (inputs) inputs.textContent = inputsText(row, i);
  }
  schedulePreview();
  clearTimeout(state.historyTimer);
  state.historyTimer = setTimeout(remember, HISTORY_PAUSE_MS);
}

// ---- undo and redo ----

// Keeps the settings as the newest step of the history, dropping the steps
// undone before, unless they are the step shown already.
function remember() {
  clearTimeout(state.historyTimer);
  const text = JSON.stringify(currentSettings());
  if (state.history[state.historyAt] === text) return;
  state.history.splice(state.historyAt + 1, Infinity, text);
  state.historyAt = state.history.length - 1;
}

// Goes `step` (-1 undo, 1 redo) through the history.
function travel(step) {
  remember();
  const at = state.historyAt + step;
  if (at < 0 || at >= state.history.length) return;
  state.historyAt = at;
  setSettings(JSON.parse(state.history[at]));
  status(step < 0 ? "undone" : "redone");
}

// Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo, Ctrl+S saves.
function onKey(event) {
  if (!(event.ctrlKey || event.metaKey) || event.altKey) return;
  const key = event.key.toLowerCase();
  if (key === "z") travel(event.shiftKey ? 1 : -1);
  else if (key === "y") travel(1);
  else if (key === "s") save();
  else return;
  event.preventDefault();
}

// ---- refusals ----

const TILE_FIELDS = { tilesX: "tiles x", tilesZ: "tiles z", tileWidth: "tile width", tileHeight: "tile height" };

// A grid that makes no tiles previews its area all the same, but duneforge
// and the exports write nothing of it: said at the field at fault.
function showGridProblems() {
  const empty = Object.keys(TILE_FIELDS).filter((name) => !(state.header[name] >= 1));
  for (const name of empty) document.querySelector(`#grid [data-field="${name}"]`)?.classList.add("bad");
  if (empty.length) {
    const names = empty.map((name) => `${TILE_FIELDS[name]} is ${state.header[name]}`).join(", ");
    $("grid-error").textContent = `${names}: the command file makes no tiles, so duneforge and the exports write none`;
  }
}

function clearErrors() {
  for (const error of document.querySelectorAll("#rows .error, #grid-error")) error.textContent = "";
  for (const field of document.querySelectorAll(".bad")) field.classList.remove("bad");
  $("preview-error").textContent = "";
}

// The grid fields that a refusal without a row speaks of.
function gridFieldsOf(text) {
  const names = HEADER_FIELDS.filter((name) => new RegExp(`\\b${name}\\b`).test(text));
  if (/^x range/.test(text)) names.push("lowerX", "upperX");
  if (/^z range/.test(text)) names.push("lowerZ", "upperZ");
  return names;
}

// Shows a refusal at its row and fields, or at the grid's fields, in
// duneforge's words; `where` is the line for anything else.
function showError(body, where = $("preview-error")) {
  const item = body.row !== undefined ? document.querySelector(`#rows li[data-row="${body.row}"]`) : null;
  if (!item) {
    const fields = gridFieldsOf(body.error ?? "");
    for (const name of fields) document.querySelector(`#grid [data-field="${name}"]`)?.classList.add("bad");
    if (fields.length) $("grid-error").textContent = body.error;
    else if (where) where.textContent = body.error;
    return;
  }
  let shown = false;
  for (const name of body.fields ?? []) {
    const field = item.querySelector(`.field[data-field="${name}"]`);
    if (!field) continue;
    field.classList.add("bad");
    if (!shown) field.querySelector(".error").textContent = body.error;
    shown = true;
  }
  if (!shown) item.querySelector(":scope > .error").textContent = body.error;
}

// ---- preview ----

function schedulePreview() {
  clearTimeout(state.timer);
  state.timer = setTimeout(() => preview().catch((error) => {
    $("preview-error").textContent = `no preview: the studio does not answer (${error.message ?? error})`;
  }), 30);
}

async function preview() {
  const side = Number($("size").value);
  const sequence = ++state.sequence;
  const changedAt = state.changedAt;
  const settings = shownSettings();
  const request = { settings, width: side, height: side, channel: state.channel, sequence };
  const answer = await postPreview(request);
  if (sequence !== state.sequence || answer.status === 409) return;  // a newer one is on its way
  state.answeredAt = changedAt;
  clearErrors();
  showGridProblems();
  if (!answer.picture) {
    showError(answer.body);
    return;
  }
  if (state.picture) URL.revokeObjectURL(state.picture);
  state.picture = URL.createObjectURL(answer.picture);
  const relief = $("relief");
  relief.src = state.picture;
  await relief.decode().catch(() => {});
  if (sequence !== state.sequence) return;
  relief.dataset.shown = sequence;
  state.shown = { settings, sequence, picture: answer.picture };
  $("timing").textContent = `${side} x ${side} shown ${Math.round(performance.now() - changedAt)} ms after the change`;
  preview3d(settings, sequence, answer.picture).catch((error) => {
    $("terrain3d-note").textContent = `the 3D view cannot show this: ${error}`;
  });
}

// The 3D view of the same settings and area, after the relief is shown and
// the changes have paused for QUIET_BEFORE_3D_MS. One request for heights is
// in flight at a time: changes that come while it runs are taken together
// into the next one, so a run of quick changes (a slider dragged) costs the
// server one 3D request at a time, not a queue.
async function preview3d(settings, sequence, picture) {
  if (!state.view3d) return;
  state.wanted3d = { settings, sequence, picture };
  if (state.busy3d) return;
  state.busy3d = true;
  try {
    while (state.wanted3d) {
      // The relief goes first: the 3D view, dearer to draw, waits until the
      // changes pause and each has its answer.
      await new Promise((resolve) => setTimeout(resolve, QUIET_BEFORE_3D_MS));
      if (state.changedAt !== state.answeredAt) continue;
      const wanted = state.wanted3d;
      state.wanted3d = null;
      await show3d(wanted.settings, wanted.sequence, wanted.picture);
    }
  } finally {
    state.busy3d = false;
  }
}

async function show3d(settings, sequence, picture) {
  const side = Math.min(Number($("size").value), LARGEST_3D_SIDE);
  const answer = await postJson("/api/preview", { settings, width: side, height: side, output: "heights",
    channel: `${state.channel}-3d`, sequence });
  // A change that has no picture yet brings a newer relief and, after it,
  // its own 3D view: drawing this one now would only hold that relief up.
  if (sequence !== state.sequence || state.changedAt !== state.answeredAt || !answer.heights) return;
  const world = { ...worldScale(), columns: settings.tilesX * settings.tileWidth,
    rows: settings.tilesZ * settings.tileHeight };
  showWorld(await state.view3d.show(answer, world, picture));
  $("terrain3d").dataset.shown = sequence;
}

// Three is loaded apart from the page, while the first relief is made, so
// that the editor and the relief work even where it is missing or WebGL is
// not offered.
async function startView3d() {
  try {
    const { TerrainView } = await import("./terrain3d.js");
    state.view3d = new TerrainView($("terrain3d"));
    $("terrain3d-note").textContent = "Drag to turn, wheel to zoom, right-drag to pan.";
    const shown = state.shown;
    if (shown) await preview3d(shown.settings, shown.sequence, shown.picture);
  } catch (error) {
    $("terrain3d").hidden = true;
    $("terrain3d-note").textContent = `no 3D view: ${error.message ?? error}`;
  }
}

// ---- files ----

async function fillOpenList() {
  const [files, examples] = await Promise.all([getJson("/api/files"), getJson("/api/examples")]);
  const select = $("open");
  select.replaceChildren(new Option("…", ""));
  const group = (label, names, kind) => {
    const g = document.createElement("optgroup");
    g.label = label;
    for (const name of names) g.append(new Option(name, `${kind}/${name}`));
    select.append(g);
  };
  state.folderFiles = [...(files.files ?? []), ...(files.others ?? [])];
  group("Folder", files.files ?? [], "files");
  group("Examples (read only)", examples.examples ?? [], "examples");
  // Text files that do not read as command files are shown apart, never
  // offered to open.
  if ((files.others ?? []).length) {
    const others = document.createElement("optgroup");
    others.label = "Not command files";
    for (const name of files.others) {
      const option = new Option(name, "");
      option.disabled = true;
      others.append(option);
    }
    select.append(others);
  }
  return examples.examples ?? [];
}

async function open(path) {
  const file = await getJson(`/api/${path}`);
  if (file.error) { status(file.error); return; }
  const parsed = await postJson("/api/parse", { commandFile: file.text });
  if (parsed.error) { status(`${file.name}: ${parsed.error}`); return; }
  state.openedName = path.startsWith("files/") ? file.name : "";
  $("save-name").value = state.openedName || "cmd_noise.txt";
  setSettings(parsed.settings);
  status(state.openedName ? `opened ${file.name}` : `opened the example ${file.name}; Save keeps a copy in the folder`);
}

async function save() {
  const name = $("save-name").value.trim();
  if (!name) { status("give a name to save under, such as cmd_noise.txt"); return; }
  if (name !== state.openedName && state.folderFiles.includes(name) &&
      !window.confirm(`${name} is in the folder already. Replace it?`)) return;
  const formatted = await postJson("/api/format", { settings: currentSettings() });
  if (formatted.error) { status(formatted.error); return; }
  const saved = await putText(`/api/files/${encodeURIComponent(name)}`, formatted.text);
  if (!saved.error) state.openedName = name;
  status(saved.error ? saved.error : `saved ${name}`);
  await fillOpenList();
}

async function start() {
  state.vocabulary = await getJson("/api/vocabulary");
  const examples = await fillOpenList();
  startView3d();
  $("grid").addEventListener("input", onGridInput);
  $("size").addEventListener("change", changed);
  $("add-row").addEventListener("click", addRow);
  $("save").addEventListener("click", save);
  document.addEventListener("keydown", onKey);
  $("open").addEventListener("change", (event) => { if (event.target.value) open(event.target.value); });
  setUpExports({
    settings: currentSettings,
    refused: (body) => showError(body, null),
    written: () => fillOpenList(),
    scaleChanged: () => {
      const shown = state.shown;
      if (shown) preview3d(shown.settings, shown.sequence, shown.picture).catch(() => {});
    },
  });
  // A link may name the file to open: #files/NAME or #examples/NAME.
  const wanted = decodeURIComponent(location.hash.slice(1));
  if (/^(files|examples)\/[^/]+$/.test(wanted)) await open(wanted);
  else if (examples.includes("terrain.txt")) await open("examples/terrain.txt");
  else setSettings({ tilesX: 1, tilesZ: 1, tileWidth: 256, tileHeight: 256, lowerX: 0, upperX: 4, lowerZ: 0,
    upperZ: 4, seedBase: 0, preview: 0, hostWindow: 0, rows: [[0, 6, 1, 0.5, 0]] });
}

start().catch((error) => status(`the studio cannot start: ${error}`));
