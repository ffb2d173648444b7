// The export panel: asks the server to write the whole terrain into its
// folder (the height array and picture as duneforge writes them, or a
// terrain file) and shows the job's progress until it is done.
import { getAnswer, postAnswer } from "./api.js";

const $ = (id) => document.getElementById(id);
const POLL_MS = 150;

const KIND_NAMES = { noise: "noise_arr.txt", hmp7: "HMP7", png16: "PNG16", obj: "OBJ" };

// `settings()` gives the page's current settings; `refused(body)` shows a
// refusal that names a row or field where it belongs; `written()` hears
// of files written.
export function setUpExports({ settings, refused, written }) {
  for (const button of document.querySelectorAll("[data-export]")) {
    button.addEventListener("click", () => run(button.dataset.export, settings(), refused, written));
  }
}

function report(text, failed = false) {
  const line = $("export-status");
  line.textContent = text;
  line.classList.toggle("error", failed);
}

function busy(running) {
  for (const button of document.querySelectorAll("[data-export]")) button.disabled = running;
  $("export-progress").hidden = !running;
}

async function run(kind, settings, refused, written) {
  const request = { settings, kind };
  if (kind !== "noise") {
    const name = $("export-name").value.trim();
    if (!name) { report("give the file a name, such as terrain", true); return; }
    request.name = name;
    if (kind === "hmp7" || kind === "obj") request.skin = $("export-skin").value;
  }
  busy(true);
  const progress = $("export-progress");
  progress.removeAttribute("value");
  report(`${KIND_NAMES[kind]}: starting`);
  try {
    const started = await postAnswer("/api/export", request);
    if (!started.ok) {
      report(`${KIND_NAMES[kind]}: ${started.body.error}`, true);
      refused(started.body);
      return;
    }
    const job = started.body.job;
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
    busy(false);
  }
}
