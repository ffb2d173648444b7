// The studio page: edits a command file's grid and chain and shows the
// server's relief of its output, and a 3D view of the same heights, after
// every change. The parts live in their own modules; this one joins them,
// keeps the history of edits and shows refusals where they belong.
import { getJson } from "./api.js";
import { $ } from "./dom.js";
import { setUpExports } from "./exports.js";
import { fillOpenList, open, save, setUpFiles, status } from "./files.js";
import { header, setHeader, setUpGrid, showGridError, showGridProblems } from "./grid.js";
import { previewChanged, redraw3d, setUpPreview } from "./preview.js";
import { refreshRows, rowValues, setRows, setUpRows, shownRows, showRowError } from "./rows.js";

// Edits closer together than this are undone together (the keys typed
// into one field, a slider dragged).
const HISTORY_PAUSE_MS = 300;

const history = {
  steps: [],  // the settings after each edit, as JSON text, for undo and redo
  at: -1,     // the place in `steps` of the settings shown
  timer: 0,   // a pause in the edits before they are remembered
};

function currentSettings() { return { ...header(), rows: rowValues() }; }

function setSettings(settings) {
  setHeader(settings);
  setRows(settings.rows);
  changed();
}

function changed() {
  refreshRows();
  previewChanged();
  clearTimeout(history.timer);
  history.timer = setTimeout(remember, HISTORY_PAUSE_MS);
}

// ---- undo and redo ----

// Keeps the settings as the newest step of the history, dropping the steps
// undone before, unless they are the step shown already.
function remember() {
  clearTimeout(history.timer);
  const text = JSON.stringify(currentSettings());
  if (history.steps[history.at] === text) return;
  history.steps.splice(history.at + 1, Infinity, text);
  history.at = history.steps.length - 1;
}

// Goes `step` (-1 undo, 1 redo) through the history.
function travel(step) {
  remember();
  const at = history.at + step;
  if (at < 0 || at >= history.steps.length) return;
  history.at = at;
  setSettings(JSON.parse(history.steps[at]));
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

function clearErrors() {
  for (const error of document.querySelectorAll("#rows .error, #grid-error")) error.textContent = "";
  for (const field of document.querySelectorAll(".bad")) field.classList.remove("bad");
  $("preview-error").textContent = "";
}

// Shows a refusal in duneforge's words at the row and fields it names, or
// at the header fields it names; `where` is the line for anything else.
function showError(body, where = $("preview-error")) {
  if (body.row !== undefined ? showRowError(body) : showGridError(body)) return;
  if (where) where.textContent = body.error;
}

// Each preview's answer replaces what the last one said.
function previewAnswered(refusal) {
  clearErrors();
  showGridProblems();
  if (refusal) showError(refusal);
}

async function start() {
  const vocabulary = await getJson("/api/vocabulary");
  setUpGrid(vocabulary, changed);
  setUpRows(vocabulary, changed);
  const examples = await setUpFiles({ settings: currentSettings, opened: setSettings });
  setUpPreview({ settings: () => ({ ...header(), rows: shownRows() }), answered: previewAnswered });
  document.addEventListener("keydown", onKey);
  setUpExports({
    settings: currentSettings,
    refused: (body) => showError(body, null),
    written: () => fillOpenList(),
    scaleChanged: redraw3d,
  });
  // A link may name the file to open: #files/NAME or #examples/NAME.
  const wanted = decodeURIComponent(location.hash.slice(1));
  if (/^(files|examples)\/[^/]+$/.test(wanted)) await open(wanted);
  else if (examples.includes("terrain.txt")) await open("examples/terrain.txt");
  else setSettings({ upperX: 4, upperZ: 4, rows: [[0, 6, 1, 0.5, 0]] });
}

start().catch((error) => status(`the studio cannot start: ${error}`));
