// The grid: the command file's header fields, built from the vocabulary's
// description of them, and what they make of the whole area.
import { $, floatText } from "./dom.js";

const state = {
  fields: [],         // the vocabulary's header fields but the row count
  header: {},         // their values by name
  changed: () => {},  // told of every edit
};

// The fields edited here: those that hold a number or a flag. A handle is
// kept as the file gives it, and the rows give the row count.
const EDITED = new Set(["integer", "number", "flag"]);

export function setUpGrid(vocabulary, changed) {
  state.fields = vocabulary.header.filter((f) => f.use !== "rowCount");
  state.changed = changed;
  const labels = state.fields.filter((f) => EDITED.has(f.use)).map((f) => {
    const label = document.createElement("label");
    label.dataset.field = f.name;
    const input = document.createElement("input");
    input.dataset.grid = f.name;
    if (f.use === "flag") {
      input.type = "checkbox";
    } else {
      input.type = "number";
      input.step = f.use === "integer" ? "1" : "any";
      if (f.range) input.title = `${f.range[0] ?? "…"} .. ${f.range[1] ?? "…"}`;
    }
    label.append(`${f.label} `, input);
    return label;
  });
  $("grid-fields").replaceChildren(...labels);
  $("grid").addEventListener("input", onGridInput);
}

// Takes the header fields of `settings`; a field it lacks takes its default.
export function setHeader(settings) {
  for (const f of state.fields) state.header[f.name] = settings[f.name] ?? f.default;
  for (const input of document.querySelectorAll("[data-grid]")) {
    const name = input.dataset.grid;
    if (input.type === "checkbox") input.checked = state.header[name] !== 0;
    else input.value = input.step === "any" ? floatText(state.header[name]) : state.header[name];
  }
  describeGrid();
}

export function header() { return { ...state.header }; }

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
  state.changed();
}

function markBad(name) {
  const field = document.querySelector(`#grid [data-field="${name}"]`);
  field?.classList.add("bad");
  return field !== null;
}

// A grid the preview takes may still be one that duneforge and the exports
// write nothing of, or refuse (no tiles, a tile side outside its range):
// said at the fields at fault, in the vocabulary's words.
export function showGridProblems() {
  const said = new Map();
  for (const f of state.fields) {
    const value = state.header[f.name];
    if (!f.range || !f.outside) continue;
    const [lower, upper] = f.range;
    if (!((lower === null || value >= lower) && (upper === null || value <= upper))) {
      markBad(f.name);
      said.set(f.outside, [...(said.get(f.outside) ?? []), `${f.label} is ${value}`]);
    }
  }
  if (said.size) {
    $("grid-error").textContent = [...said].map(([outside, names]) => `${names.join(", ")}: ${outside}`).join("; ");
  }
}

// Shows a refusal that names header fields at those of the grid. False
// when it names none the grid shows.
export function showGridError(body) {
  const shown = (body.fields ?? []).filter(markBad);
  if (shown.length) $("grid-error").textContent = body.error;
  return shown.length > 0;
}
