// The studio page: edits a command file's grid and chain and shows the
// server's relief of its output after every change.
import { getJson, postJson, putText, postPreview } from "./api.js";

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
};

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
  renderGrid();
  renderRows();
  schedulePreview();
}

function currentSettings() {
  return { ...state.header, rows: state.rows.map((row) => row.values) };
}

// ---- grid ----

function renderGrid() {
  for (const input of document.querySelectorAll("[data-grid]")) {
    const name = input.dataset.grid;
    if (input.type === "checkbox") input.checked = state.header[name] !== 0;
    else input.value = input.step === "any" ? floatText(state.header[name]) : state.header[name];
  }
}

function onGridInput(event) {
  const input = event.target;
  const name = input.dataset.grid;
  if (!name) return;
  if (input.type === "checkbox") state.header[name] = input.checked ? 1 : 0;
  else if (input.value !== "" && Number.isFinite(Number(input.value))) state.header[name] = Number(input.value);
  else return;
  schedulePreview();
}

// ---- rows ----

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
    const select = document.createElement("select");
    for (let k = 0; k < rowIndex; ++k) {
      select.add(new Option(`row ${k}: ${kindOf(state.rows[k].values[0]).name}`, k));
    }
    if (value < 0 || value >= rowIndex) select.add(new Option(`row ${value} (no earlier row)`, value));
    select.value = Math.trunc(value);
    select.addEventListener("change", () => { row.values[index + 1] = Number(select.value); changed(); });
    wrap.append(select);
  } else {
    const number = document.createElement("input");
    number.type = "number";
    number.step = index === 0 ? "1" : "any";
    number.value = index === 0 ? value : floatText(value);
    wrap.append(number);
    let slider = null;
    if (f.range) {
      slider = document.createElement("input");
      slider.type = "range";
      slider.min = f.range[0] ?? 0;
      slider.max = f.range[1] ?? f.range[0] + 100;
      slider.step = index === 0 ? 1 : "any";
      slider.value = value;
      slider.addEventListener("input", () => { number.value = slider.value; set(slider.value); });
      wrap.append(slider);
    }
    const set = (text) => {
      if (text === "" || !Number.isFinite(Number(text))) return;
      row.values[index + 1] = Number(text);
      changed();
    };
    number.addEventListener("input", () => { if (slider) slider.value = number.value; set(number.value); });
  }
  const error = document.createElement("span");
  error.className = "error";
  wrap.append(error);
  return wrap;
}

function rowItem(row, rowIndex) {
  const item = document.createElement("li");
  item.dataset.row = rowIndex;
  const head = document.createElement("div");
  head.className = "row-head";
  const type = document.createElement("select");
  for (const kind of state.vocabulary.types) type.add(new Option(kind.name, kind.code));
  if (kindOf(row.values[0]) === state.vocabulary.fallback) type.add(new Option(`code ${row.values[0]} (Perlin, defaults)`, row.values[0]));
  type.value = row.values[0];
  type.addEventListener("change", () => {
    const kind = kindOf(Number(type.value));
    row.values = [kind.code ?? Number(type.value), ...kind.fields.map((f) => f.default)];
    renderRows();
    changed();
  });
  const up = button("↑", "Move up", () => move(rowIndex, -1), rowIndex === 0);
  const down = button("↓", "Move down", () => move(rowIndex, 1), rowIndex === state.rows.length - 1);
  const remove = button("✕", "Remove", () => removeRow(rowIndex), state.rows.length === 1);
  const error = document.createElement("span");
  error.className = "error";
  head.append(type, up, down, remove, error);
  const fields = document.createElement("div");
  fields.className = "fields";
  kindOf(row.values[0]).fields.forEach((f, index) => fields.append(fieldControl(row, index, f, rowIndex)));
  item.append(head, fields);
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
  const list = $("rows");
  list.replaceChildren(...state.rows.map(rowItem));
}

// The fields of `values` that name rows by index.
function indexFields(values) {
  const result = [];
  kindOf(values[0]).fields.forEach((f, index) => { if (f.use === "rowIndex") result.push(index + 1); });
  return result;
}

// Which row each row reads as its previous one, by row id.
function previousReaders() {
  const reads = new Map();
  state.rows.forEach((row, i) => {
    const kind = kindOf(row.values[0]);
    if (i > 0 && kind.inputs.some((input) => input.from === "previous")) reads.set(row.id, state.rows[i - 1].id);
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

function describeMove(before, after) {
  const place = new Map(state.rows.map((row, i) => [row.id, i]));
  const notes = [];
  for (const [reader, previous] of after) {
    if (before.get(reader) !== previous) {
      notes.push(`row ${place.get(reader)} now reads row ${place.get(previous)} as its previous row`);
    }
  }
  $("move-note").textContent = notes.join("; ");
}

function removeRow(i) {
  state.rows.splice(i, 1);
  for (const row of state.rows) {
    for (const f of indexFields(row.values)) if (Math.trunc(row.values[f]) > i) row.values[f] -= 1;
  }
  renderRows();
  changed();
}

function addRow() {
  const kind = state.vocabulary.types[0];
  state.rows.push(newRow([kind.code, ...kind.fields.map((f) => f.default)]));
  renderRows();
  changed();
}

function changed() { schedulePreview(); }

// ---- preview ----

function clearErrors() {
  for (const error of document.querySelectorAll("#rows .error")) error.textContent = "";
  for (const field of document.querySelectorAll("#rows .field.bad")) field.classList.remove("bad");
  $("preview-error").textContent = "";
}

// Shows a refusal at its row and fields, in duneforge's words.
function showError(body) {
  const item = body.row !== undefined ? document.querySelector(`#rows li[data-row="${body.row}"]`) : null;
  if (!item) {
    $("preview-error").textContent = body.error;
    return;
  }
  const fields = body.fields ?? [];
  let shown = false;
  for (const name of fields) {
    const field = item.querySelector(`.field[data-field="${name}"]`);
    if (!field) continue;
    field.classList.add("bad");
    if (!shown) field.querySelector(".error").textContent = body.error;
    shown = true;
  }
  if (!shown) item.querySelector(".row-head .error").textContent = body.error;
}

function schedulePreview() {
  clearTimeout(state.timer);
  state.timer = setTimeout(preview, 30);
}

async function preview() {
  const side = Number($("size").value);
  const sequence = ++state.sequence;
  const request = { settings: currentSettings(), width: side, height: side, channel: state.channel, sequence };
  const answer = await postPreview(request);
  if (sequence !== state.sequence || answer.status === 409) return;  // a newer one is on its way
  clearErrors();
  if (answer.picture) {
    if (state.picture) URL.revokeObjectURL(state.picture);
    state.picture = URL.createObjectURL(answer.picture);
    $("relief").src = state.picture;
  } else {
    showError(answer.body);
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
  group("Folder", files.files, "files");
  group("Examples (read only)", examples.examples, "examples");
  return examples.examples;
}

async function open(path) {
  const file = await getJson(`/api/${path}`);
  const parsed = await postJson("/api/parse", { commandFile: file.text });
  if (parsed.error) { status(`${file.name}: ${parsed.error}`); return; }
  $("save-name").value = path.startsWith("files/") ? file.name : "";
  setSettings(parsed.settings);
  status(`opened ${file.name}`);
}

async function save() {
  const name = $("save-name").value.trim();
  if (!name) { status("give a name to save under, such as cmd_noise.txt"); return; }
  const formatted = await postJson("/api/format", { settings: currentSettings() });
  if (formatted.error) { status(formatted.error); return; }
  const saved = await putText(`/api/files/${encodeURIComponent(name)}`, formatted.text);
  status(saved.error ? saved.error : `saved ${name}`);
  await fillOpenList();
}

async function start() {
  state.vocabulary = await getJson("/api/vocabulary");
  const examples = await fillOpenList();
  $("grid").addEventListener("input", onGridInput);
  $("size").addEventListener("change", schedulePreview);
  $("add-row").addEventListener("click", addRow);
  $("save").addEventListener("click", save);
  $("open").addEventListener("change", (event) => { if (event.target.value) open(event.target.value); });
  // A link may name the file to open: #files/NAME or #examples/NAME.
  const wanted = decodeURIComponent(location.hash.slice(1));
  if (/^(files|examples)\/[^/]+$/.test(wanted)) await open(wanted);
  else if (examples.includes("terrain.txt")) await open("examples/terrain.txt");
  else setSettings({ tilesX: 1, tilesZ: 1, tileWidth: 256, tileHeight: 256, lowerX: 0, upperX: 4, lowerZ: 0,
    upperZ: 4, seedBase: 0, preview: 0, hostWindow: 0, rows: [[0, 6, 1, 0.5, 0]] });
}

start().catch((error) => status(`the studio cannot start: ${error}`));
