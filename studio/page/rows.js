// The chain editor: one item per module row, with its type, its fields as
// the vocabulary describes them and its inputs. Moves and removals keep
// the sources that name rows by index on their rows (row_moves.js).
import { $, button, floatText } from "./dom.js";
import { moveRow, removeRow } from "./row_moves.js";

const state = {
  vocabulary: null,     // from /api/vocabulary
  rows: [],             // {id, values: [type, p1, p2, p3, p4]}
  nextId: 0,
  noteRows: new Set(),  // ids of the rows whose previous-row input a move changed
  previewId: null,      // the id of the row whose own output is shown, null for the chain's
  changed: () => {},    // told of every edit
};

export function kindOf(type) {
  const types = state.vocabulary.types;
  return type >= 0 && type < types.length ? types[type] : state.vocabulary.fallback;
}

function newRow(values) { return { id: state.nextId++, values: values.slice() }; }

export function setUpRows(vocabulary, changed) {
  state.vocabulary = vocabulary;
  state.changed = changed;
  $("add-row").addEventListener("click", addRow);
}

// Replaces the chain with `rows`, lists of five values.
export function setRows(rows) {
  state.rows = rows.map(newRow);
  state.noteRows.clear();
  $("move-note").textContent = "";
  renderRows();
}

export function rowValues() { return state.rows.map((row) => row.values); }

// The rows whose output the relief shows: the chain up to the row shown on
// its own (rows read only earlier rows), else the whole chain.
export function shownRows() {
  const index = state.rows.findIndex((row) => row.id === state.previewId);
  return (index < 0 ? state.rows : state.rows.slice(0, index + 1)).map((row) => row.values);
}

// Brings what each row says of its inputs, and of the row shown, up to date.
export function refreshRows() {
  const index = state.rows.findIndex((row) => row.id === state.previewId);
  if (index < 0) state.previewId = null;
  $("row-shown").textContent = index < 0 ? ""
    : `showing row ${index}'s own output (${kindOf(state.rows[index].values[0]).name}); ◉ again shows the chain's`;
  for (const [i, row] of state.rows.entries()) {
    const inputs = document.querySelector(`#rows li[data-row="${i}"] .inputs`);
    if (inputs) inputs.textContent = inputsText(row, i);
  }
}

// Shows a refusal of row body.row at its fields, or on the row's own line
// when it names none the row shows. False when no such row is shown.
export function showRowError(body) {
  const item = document.querySelector(`#rows li[data-row="${body.row}"]`);
  if (!item) return false;
  let shown = false;
  for (const name of body.fields ?? []) {
    const field = item.querySelector(`.field[data-field="${name}"]`);
    if (!field) continue;
    field.classList.add("bad");
    if (!shown) field.querySelector(".error").textContent = body.error;
    shown = true;
  }
  if (!shown) item.querySelector(":scope > .error").textContent = body.error;
  return true;
}

// Shows row i's own output, or the chain's again when it is shown already.
function togglePreview(i) {
  const id = state.rows[i].id;
  state.previewId = state.previewId === id ? null : id;
  renderRows();
  state.changed();
}

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
  select.addEventListener("change", () => { row.values[index + 1] = Number(select.value); state.changed(); });
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
      state.changed();
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
    state.changed();
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
  const remove = button("✕", "Remove", () => removeAt(rowIndex), state.rows.length === 1);
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

function renderRows() {
  $("rows").replaceChildren(...state.rows.map(rowItem));
}

// Moves row i by `step` (-1 or 1) and says which rows read another row
// through their previous-row input since, as that input does not follow.
function move(i, step) {
  const { rows, changed } = moveRow(state.rows, i, step, kindOf);
  state.rows = rows;
  const place = new Map(state.rows.map((row, r) => [row.id, r]));
  const name = (id) => `row ${place.get(id)} (${kindOf(state.rows[place.get(id)].values[0]).name})`;
  state.noteRows = new Set(changed.map(({ reader }) => reader));
  const notes = changed.map(({ reader, previous }) => (previous === null
    ? `${name(reader)} now has no previous row to read`
    : `${name(reader)} now reads ${name(previous)} as its previous row`));
  $("move-note").textContent = notes.length ? `The move changed an implicit input: ${notes.join("; ")}.` : "";
  renderRows();
  state.changed();
}

// Removes row i; a source that named it is said, to be chosen again.
function removeAt(i) {
  const removed = state.rows[i];
  const { rows, dangling } = removeRow(state.rows, i, kindOf);
  state.rows = rows;
  state.noteRows.clear();
  const named = dangling.map(({ row, field }) => `row ${row} p${field}`);
  $("move-note").textContent = named.length
    ? `${named.join(", ")} named the removed ${kindOf(removed.values[0]).name} row: choose another source.` : "";
  renderRows();
  state.changed();
}

function addRow() {
  const kind = state.vocabulary.types[0];
  state.rows.push(newRow([kind.code, ...kind.fields.map((f) => f.default)]));
  renderRows();
  state.changed();
}
