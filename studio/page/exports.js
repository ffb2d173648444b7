// The export panel: asks the server to write the whole terrain into its
// folder (the height array and picture as duneforge writes them, or a
// terrain file) and shows the job's progress until it is done. It asks
// before an export replaces a file of the folder, and Cancel stops a
// running export, which then writes nothing. The world's spacing and height
// scale go with every terrain export; the browser keeps them for the next
// visit, and the 3D view draws with them.
import { deleteAnswer, getAnswer, postAnswer } from "./api.js";
import { $ } from "./dom.js";

const POLL_MS = 150;

const KIND_NAMES = { noise: "noise_arr.txt", hmp7: "HMP7", png16: "PNG16", obj: "OBJ" };
const STORED_SCALE = "terrainstudio.worldScale";

// The world's scale as the panel sets it: {spacing, heightScale}, the height
// scale null for the default (heights that span a tenth of the larger side).
export function worldScale() {
  const spacing = Number($("export-spacing").value);
  const typed = $("export-height-scale").value.trim();
  const heightScale = typed === "" ? null : Number(typed);
  return {
    spacing: spacing > 0 && Number.isFinite(spacing) ? spacing : 1,
    heightScale: heightScale > 0 && Number.isFinite(heightScale) ? heightScale : null,
  };
}

// Shows what the scale makes of the terrain: `extent` is [x, z, height span]
// in world units, as the 3D view draws it.
export function showWorld(extent) {
  const [x, z, span] = extent.map((value) => Number(value.toPrecision(4)));
  $("export-world").textContent = `world ${x} × ${z}, heights span ${span}`;
}

function restoreScale(changed) {
  try {
    const kept = JSON.parse(localStorage.getItem(STORED_SCALE) ?? "{}");
    if (kept.spacing > 0) $("export-spacing").value = kept.spacing;
    if (kept.heightScale > 0) $("export-height-scale").value = kept.heightScale;
  } catch {
    // Storage that cannot be read leaves the defaults.
  }
  for (const id of ["export-spacing", "export-height-scale"]) {
    $(id).addEventListener("change", () => {
      try {
        localStorage.setItem(STORED_SCALE, JSON.stringify(worldScale()));
      } catch {
        // A browser that keeps nothing still exports with the panel's values.
      }
      changed();
    });
  }
}

// `settings()` gives the page's current settings; `refused(body)` shows a
// refusal that names a row or field where it belongs; `written()` hears
// of files written; `scaleChanged()` of a new world scale.
export function setUpExports({ settings, refused, written, scaleChanged }) {
  restoreScale(scaleChanged);
  for (const button of document.querySelectorAll("[data-export]")) {
    button.addEventListener("click", () => run(button.dataset.export, settings(), refused, written));
  }
  $("export-cancel").addEventListener("click", async () => {
    if (running === null) return;
    const answer = await deleteAnswer(`/api/export/${encodeURIComponent(running)}`);
    if (!answer.ok) report(answer.body.error, true);
  });
}

// The number of the export that runs, or null.
let running = null;

// Starts the export, asking first when it would replace files.
async function start(request, label) {
  let started = await postAnswer("/api/export", { ...request, replace: false });
  if (started.status === 409) {
    if (!window.confirm(`${started.body.error}. Replace?`)) {
      report(`${label}: not exported`);
      return null;
    }
    started = await postAnswer("/api/export", { ...request, replace: true });
  }
  return started;
}

function report(text, failed = false) {
  const line = $("export-status");
  line.textContent = text;
  line.classList.toggle("error", failed);
}

function busy(job) {
  running = job;
  for (const button of document.querySelectorAll("[data-export]")) button.disabled = job !== null;
  $("export-progress").hidden = job === null;
  $("export-cancel").hidden = job === null;
}

async function run(kind, settings, refused, written) {
  const request = { settings, kind };
  if (kind !== "noise") {
    const name = $("export-name").value.trim();
    if (!name) { report("give the file a name, such as terrain", true); return; }
    request.name = name;
    if (kind === "hmp7" || kind === "obj") request.skin = $("export-skin").value;
    const { spacing, heightScale } = worldScale();
    request.spacing = spacing;
    if (heightScale !== null) request.heightScale = heightScale;
  }
  for (const button of document.querySelectorAll("[data-export]")) button.disabled = true;
  const progress = $("export-progress");
  progress.removeAttribute("value");
  report(`${KIND_NAMES[kind]}: starting`);
  try {
    const started = await start(request, KIND_NAMES[kind]);
    if (started === null) return;
    if (!started.ok) {
      report(`${KIND_NAMES[kind]}: ${started.body.error}`, true);
      refused(started.body);
      return;
    }
    const job = started.body.job;
    busy(job);
    for (;;) {
      await new Promise((resolve) => setTimeout(resolve, POLL_MS));
      const answer = await getAnswer(`/api/export/${encodeURIComponent(job)}`);
      if (!answer.ok) { report(`${KIND_NAMES[kind]}: ${answer.body.error}`, true); return; }
      const state = answer.body;
      if (state.total > 0) {
        progress.max = state.total;
        progress.value = state.done;
      }
      if (state.state === "done") {
        report(`wrote ${(state.written ?? []).join(", ")}`);
        written();
        return;
      }
      if (state.state === "cancelled") {
        report(`${KIND_NAMES[kind]}: cancelled; nothing was written`);
        return;
      }
      if (state.state === "failed") {
        report(`${KIND_NAMES[kind]}: ${state.error}`, true);
        refused(state);
        return;
      }
      report(`${KIND_NAMES[kind]}: ${state.done} of ${state.total}`);
    }
  } catch (error) {
    report(`${KIND_NAMES[kind]}: ${error}`, true);
  } finally {
    busy(null);
  }
}
