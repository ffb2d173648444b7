// Opening and saving command files: the studio's folder and its examples
// in the Open list, and Save into the folder in duneforge's layout.
import { getJson, postJson, putText } from "./api.js";
import { $ } from "./dom.js";

const state = {
  settings: null,     // gives the page's current settings
  opened: null,       // takes the settings of a file opened
  folderFiles: [],    // the .txt files of the studio's folder, command files or not
  openedName: "",     // the folder's file last opened or saved, "" for an example
};

export function status(text) { $("status").textContent = text; }

// `settings()` gives the settings to save; `opened(settings)` takes those
// of a file opened. Answers the names of the examples.
export async function setUpFiles({ settings, opened }) {
  state.settings = settings;
  state.opened = opened;
  $("save").addEventListener("click", save);
  $("open").addEventListener("change", (event) => { if (event.target.value) open(event.target.value); });
  return fillOpenList();
}

export async function fillOpenList() {
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

// Opens "files/NAME" or "examples/NAME".
export async function open(path) {
  const file = await getJson(`/api/${path}`);
  if (file.error) { status(file.error); return; }
  const parsed = await postJson("/api/parse", { commandFile: file.text });
  if (parsed.error) { status(`${file.name}: ${parsed.error}`); return; }
  state.openedName = path.startsWith("files/") ? file.name : "";
  $("save-name").value = state.openedName || "cmd_noise.txt";
  state.opened(parsed.settings);
  status(state.openedName ? `opened ${file.name}` : `opened the example ${file.name}; Save keeps a copy in the folder`);
}

export async function save() {
  const name = $("save-name").value.trim();
  if (!name) { status("give a name to save under, such as cmd_noise.txt"); return; }
  if (name !== state.openedName && state.folderFiles.includes(name) &&
      !window.confirm(`${name} is in the folder already. Replace it?`)) return;
  const formatted = await postJson("/api/format", { settings: state.settings() });
  if (formatted.error) { status(formatted.error); return; }
  const saved = await putText(`/api/files/${encodeURIComponent(name)}`, formatted.text);
  if (!saved.error) state.openedName = name;
  status(saved.error ? saved.error : `saved ${name}`);
  await fillOpenList();
}
