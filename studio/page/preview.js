// The relief of the settings' output, asked of the server after every
// change, and the 3D view of the same heights once the changes pause.
import { postJson, postPreview } from "./api.js";
import { $ } from "./dom.js";
import { showWorld, worldScale } from "./exports.js";

// The 3D view samples at most this many points a side; the relief takes
// the whole preview size.
const LARGEST_3D_SIDE = 256;
const QUIET_BEFORE_3D_MS = 200;

const state = {
  settings: null,     // gives the settings whose output is shown
  answered: null,     // hears of each answer: the refusal's body, or null for a picture
  sequence: 0,
  channel: Math.random().toString(36).slice(2, 12),
  timer: 0,
  picture: null,
  changedAt: 0,       // when the change that the next preview shows was made
  answeredAt: 0,      // the changedAt of the latest preview the server answered
  view3d: null,       // the TerrainView, once three has loaded
  busy3d: false,      // a request for the 3D view's heights is in flight
  wanted3d: null,     // the newest picture whose heights the 3D view should show next
  shown: null,        // {settings, sequence, picture} of the relief shown
};

// `settings()` gives the settings to preview; `answered(body)` hears of
// each answer shown, with the refusal's body or null for a picture.
export function setUpPreview({ settings, answered }) {
  state.settings = settings;
  state.answered = answered;
  $("size").addEventListener("change", previewChanged);
  startView3d();
}

// A change to preview: asked for shortly, the newest change only.
export function previewChanged() {
  state.changedAt = performance.now();
  clearTimeout(state.timer);
  state.timer = setTimeout(() => preview().catch((error) => {
    $("preview-error").textContent = `no preview: the studio does not answer (${error.message ?? error})`;
  }), 30);
}

// Draws the 3D view of the relief shown again, with the world's new scale.
export function redraw3d() {
  const shown = state.shown;
  if (shown) preview3d(shown.settings, shown.sequence, shown.picture).catch(() => {});
}

async function preview() {
  const side = Number($("size").value);
  const sequence = ++state.sequence;
  const changedAt = state.changedAt;
  const settings = state.settings();
  const request = { settings, width: side, height: side, channel: state.channel, sequence };
  const answer = await postPreview(request);
  if (sequence !== state.sequence || answer.status === 409) return;  // a newer one is on its way
  state.answeredAt = changedAt;
  state.answered(answer.picture ? null : answer.body);
  if (!answer.picture) return;
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
