// The studio's page in a real browser: headless chromium, driven by the
// pinned puppeteer-core, against the built terrainstudio serving an empty
// temporary folder. It loads the terrain example and saves it, changes an
// octave count and sees the relief's pixels change (timing how long the
// page takes to show the new picture), moves a row, enters an out-of-range
// value and finds duneforge's own text at the field, turns the 3D view,
// saves a screenshot, removes a row, and exports HMP7 and reads the file
// back with modelinfo.
//
// Environment: STUDIO_PROGRAM, DUNEFORGE, MODELINFO (built programs),
// STUDIO_EXAMPLES (the bundled examples), NODE_MODULES (the pinned
// packages), CHROMIUM (the browser), SCREENSHOT (the picture to write).
import assert from "node:assert/strict";
import { spawn, spawnSync } from "node:child_process";
import fs from "node:fs";
import { createRequire } from "node:module";
import os from "node:os";
import path from "node:path";

const env = (name) => {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set`);
  return value;
};
const require = createRequire(path.resolve(env("NODE_MODULES"), "index.js"));
const puppeteer = require("puppeteer-core");

const TERRAIN = fs.readFileSync(path.join(env("STUDIO_EXAMPLES"), "terrain.txt"), "utf8");
// The terrain example's whole area: 4 x 4 tiles of 128 x 128.
const AREA_SIDE = 512;

function log(text) { console.log(`studio page: ${text}`); }

// Starts terrainstudio on a free port in `folder`; resolves to its address.
function startStudio(folder) {
  const child = spawn(env("STUDIO_PROGRAM"), ["--port", "0", folder], { stdio: ["ignore", "pipe", "inherit"] });
  return new Promise((resolve, reject) => {
    let text = "";
    const timer = setTimeout(() => reject(new Error("terrainstudio printed no address within 10 s")), 10000);
    child.on("exit", (code) => reject(new Error(`terrainstudio ended with status ${code}`)));
    child.stdout.on("data", (chunk) => {
      text += chunk;
      const found = /http:\/\/127\.0\.0\.1:\d+\//.exec(text);
      if (found) {
        clearTimeout(timer);
        resolve({ child, address: found[0] });
      }
    });
  });
}

// Runs duneforge on `commandText` in a folder of its own: {status, stderr, heights}.
function runDuneforge(commandText) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "studio-duneforge-"));
  try {
    fs.writeFileSync(path.join(folder, "cmd_noise.txt"), commandText);
    const run = spawnSync(env("DUNEFORGE"), [], { cwd: folder, encoding: "utf8", timeout: 60000 });
    const array = path.join(folder, "noise_arr.txt");
    const heights = fs.existsSync(array)
      ? fs.readFileSync(array, "utf8").split(",").filter((t) => t !== "").map(Number) : [];
    return { status: run.status, stderr: run.stderr, heights };
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

// The relief as the page shows it: its size and RGBA pixels.
async function reliefPixels(page) {
  return page.$eval("#relief", (img) => {
    const canvas = document.createElement("canvas");
    canvas.width = img.naturalWidth;
    canvas.height = img.naturalHeight;
    const context = canvas.getContext("2d");
    context.drawImage(img, 0, 0);
    return { width: canvas.width, height: canvas.height,
      data: Array.from(context.getImageData(0, 0, canvas.width, canvas.height).data) };
  });
}

function differingPixels(a, b) {
  assert.equal(a.data.length, b.data.length);
  let count = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    if (a.data[i] !== b.data[i] || a.data[i + 1] !== b.data[i + 1] || a.data[i + 2] !== b.data[i + 2]) ++count;
  }
  return count;
}

// Mean brightness over BLOCKS x BLOCKS blocks of a picture of `width` x
// `height` pixels, rows from the top; `pixel(x, y)` gives [r, g, b].
const BLOCKS = 16;
function blockBrightness(width, height, pixel) {
  const sums = new Array(BLOCKS * BLOCKS).fill(0);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const [r, g, b] = pixel(x, y);
      sums[Math.floor((y * BLOCKS) / height) * BLOCKS + Math.floor((x * BLOCKS) / width)] += r + g + b;
    }
  }
  return sums;
}

function correlation(a, b) {
  const mean = (v) => v.reduce((s, x) => s + x, 0) / v.length;
  const [ma, mb] = [mean(a), mean(b)];
  let ab = 0, aa = 0, bb = 0;
  for (let i = 0; i < a.length; ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) ** 2;
    bb += (b[i] - mb) ** 2;
  }
  return ab / Math.sqrt(aa * bb);
}

// A 24-bit BMP's size and pixels, rows from the top.
function readBmp(file) {
  const bytes = fs.readFileSync(file);
  const [start, width, height] = [bytes.readUInt32LE(10), bytes.readInt32LE(18), bytes.readInt32LE(22)];
  assert.equal(bytes.readUInt16LE(28), 24, "a 24-bit picture");
  const stride = Math.ceil((width * 3) / 4) * 4;
  const rows = Math.abs(height);
  const pixel = (x, y) => {
    const at = start + (height > 0 ? rows - 1 - y : y) * stride + 3 * x;
    return [bytes[at + 2], bytes[at + 1], bytes[at]];
  };
  return { width, height: rows, pixel };
}

// The page's relief faces as terrainview draws the exported terrain: north
// at the top. Both colour height by their own ramps, bright on high ground,
// so their blocks' brightness follows the same heights; upside down the
// likeness is lost.
async function reliefFacesNorth(page, hmpFile, folder) {
  const picture = path.join(folder, "terrainview.bmp");
  const run = spawnSync(env("TERRAINVIEW"), [hmpFile, picture], { encoding: "utf8" });
  assert.equal(run.status, 0, run.stderr);
  const drawn = readBmp(picture);
  const relief = await reliefPixels(page);
  const at = (x, y) => 4 * (y * relief.width + x);
  const upright = blockBrightness(relief.width, relief.height, (x, y) => relief.data.slice(at(x, y), at(x, y) + 3));
  const turned = blockBrightness(relief.width, relief.height,
    (x, y) => relief.data.slice(at(x, relief.height - 1 - y), at(x, relief.height - 1 - y) + 3));
  const expected = blockBrightness(drawn.width, drawn.height, drawn.pixel);
  const [same, flipped] = [correlation(upright, expected), correlation(turned, expected)];
  log(`the relief against terrainview's picture: correlation ${same.toFixed(2)}, upside down ${flipped.toFixed(2)}`);
  assert.ok(same > 0.6 && same > flipped + 0.3, `the relief faces as terrainview's picture: ${same} against ${flipped}`);
}

const shown = (page) => page.$eval("#relief", (img) => Number(img.dataset.shown ?? -1));

// Sets the number field `field` of row `row` to `value` as typing does, and
// returns the milliseconds until the page has shown a newer picture (null
// when `expectPicture` is false: then it waits for the field's message).
async function setField(page, row, field, value, expectPicture = true) {
  const before = await shown(page);
  await page.evaluate((r, f, v) => {
    const input = document.querySelector(`#rows li[data-row="${r}"] .field[data-field="${f}"] input[type=number]`);
    window.changeStarted = performance.now();
    input.value = String(v);
    input.dispatchEvent(new Event("input", { bubbles: true }));
  }, row, field, value);
  if (!expectPicture) return null;
  await page.waitForFunction((old) => Number(document.querySelector("#relief").dataset.shown ?? -1) > old,
    { polling: "raf", timeout: 60000 }, before);
  return page.evaluate(() => performance.now() - window.changeStarted);
}

// Waits until the page has no request in flight: the last change's relief
// and 3D heights have arrived.
const settle = (page) => page.waitForNetworkIdle({ idleTime: 300, timeout: 60000 });

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// The page was opened on another example; Open switches to the terrain one.
async function loadExample(page) {
  await settle(page);
  const first = await page.$$eval("#rows > li .row-head select", (selects) => selects.map((s) => Number(s.value)));
  assert.deepEqual(first, [0], "the page opened on the example its address names, one Perlin row");
  const before = await shown(page);
  await page.select("#open", "examples/terrain.txt");
  await page.waitForFunction((old) => Number(document.querySelector("#relief").dataset.shown ?? -1) > old,
    { timeout: 60000 }, before);
  await settle(page);
  const rows = await page.$$eval("#rows > li .row-head select", (selects) => selects.map((s) => Number(s.value)));
  assert.deepEqual(rows, [1, 2, 3, 0, 4, 14], "the terrain example's six rows, by type");
  assert.equal(await page.$eval("[data-grid=tileWidth]", (i) => i.value), "128");
}

// The number in field `field` of row `row`.
const fieldValue = (page, row, field) => page.$eval(
  `#rows li[data-row="${row}"] .field[data-field="${field}"] input[type=number]`, (input) => input.value);

// Turning the Billow row into a Perlin one keeps the four fields both read
// alike, and so does turning it back; "new seed" gives the row another seed
// and the relief changes.
async function typeChangeAndNewSeed(page) {
  const fields = ["p1", "p2", "p3", "p4"];
  const before = await Promise.all(fields.map((f) => fieldValue(page, 1, f)));
  for (const type of ["0", "2"]) {
    const old = await shown(page);
    await page.select(`#rows li[data-row="1"] .row-head select`, type);
    await page.waitForFunction((o) => Number(document.querySelector("#relief").dataset.shown ?? -1) > o,
      { timeout: 60000 }, old);
    assert.deepEqual(await Promise.all(fields.map((f) => fieldValue(page, 1, f))), before,
      `the fields kept their values as type ${type}`);
  }
  await settle(page);
  const picture = await reliefPixels(page);
  const old = await shown(page);
  await page.click(`#rows li[data-row="1"] .field[data-field="p4"] button`);
  await page.waitForFunction((o) => Number(document.querySelector("#relief").dataset.shown ?? -1) > o,
    { timeout: 60000 }, old);
  assert.notEqual(await fieldValue(page, 1, "p4"), before[3], "a new seed");
  await settle(page);
  assert.ok(differingPixels(picture, await reliefPixels(page)) > 0, "the relief changed with the seed");
  await setField(page, 1, "p4", before[3]);
  await settle(page);
}

// A row's own output: ◉ on row 0 shows that row alone (another picture),
// and ◉ again the chain's output as before, pixel for pixel.
async function rowPreview(page) {
  const click = async () => {
    const old = await shown(page);
    await page.click(`#rows li[data-row="0"] .show-row`);
    await page.waitForFunction((o) => Number(document.querySelector("#relief").dataset.shown ?? -1) > o,
      { timeout: 60000 }, old);
    await settle(page);
  };
  await settle(page);
  const chain = await reliefPixels(page);
  await click();
  assert.match(await page.$eval("#row-shown", (p) => p.textContent), /^showing row 0's own output \(RidgedMulti\)/);
  assert.ok(differingPixels(chain, await reliefPixels(page)) > chain.data.length / 40, "row 0 alone looks otherwise");
  await click();
  assert.equal(await page.$eval("#row-shown", (p) => p.textContent), "");
  assert.equal(differingPixels(chain, await reliefPixels(page)), 0, "the chain's output again");
}

// Ctrl+Z undoes an octave count's change (the field and the picture are as
// before), Ctrl+Shift+Z and Ctrl+Y redo it; Ctrl+S saves.
async function undoRedoAndSave(page) {
  await settle(page);
  const before = await fieldValue(page, 1, "p1");
  const picture = await reliefPixels(page);
  await setField(page, 1, "p1", Number(before) + 2);
  await settle(page);
  const key = async (...keys) => {
    const old = await shown(page);
    for (const k of keys) await page.keyboard.down(k);
    for (const k of [...keys].reverse()) await page.keyboard.up(k);
    await page.waitForFunction((o) => Number(document.querySelector("#relief").dataset.shown ?? -1) > o,
      { timeout: 60000 }, old);
    await settle(page);
  };
  await key("Control", "z");
  assert.equal(await fieldValue(page, 1, "p1"), before, "undone");
  assert.equal(differingPixels(picture, await reliefPixels(page)), 0, "the picture as before the change");
  await key("Control", "Shift", "Z");
  assert.equal(await fieldValue(page, 1, "p1"), String(Number(before) + 2), "redone");
  await key("Control", "z");
  await key("Control", "y");
  assert.equal(await fieldValue(page, 1, "p1"), String(Number(before) + 2), "redone with Ctrl+Y");
  await key("Control", "z");
  assert.equal(await fieldValue(page, 1, "p1"), before);
  await page.$eval("#status", (s) => { s.textContent = ""; });
  await page.keyboard.down("Control");
  await page.keyboard.press("s");
  await page.keyboard.up("Control");
  await page.waitForFunction(() => document.querySelector("#status").textContent === "saved cmd_noise.txt",
    { timeout: 60000 });
}

// Saves the example under the name the page offers, cmd_noise.txt: the
// file in the folder holds the example's numbers.
async function saveExample(page, folder) {
  assert.equal(await page.$eval("#save-name", (input) => input.value), "cmd_noise.txt");
  await page.click("#save");
  await page.waitForFunction(() => document.querySelector("#status").textContent === "saved cmd_noise.txt",
    { timeout: 60000 });
  const numbers = (text) => text.trim().split(/\s+/).map(Number);
  assert.deepEqual(numbers(fs.readFileSync(path.join(folder, "cmd_noise.txt"), "utf8")), numbers(TERRAIN));
  // Open offers the saved command file, and shows notes.txt apart, not to open.
  await page.waitForFunction(() => [...document.querySelectorAll("#open option")].some((o) => o.value === "files/cmd_noise.txt"),
    { timeout: 60000 });
  const options = await page.$$eval("#open option", (all) => all.map((o) => [o.textContent, o.disabled]));
  assert.deepEqual(options.filter(([name]) => name.endsWith(".txt") && !name.startsWith("examples")).slice(0, 1),
    [["cmd_noise.txt", false]]);
  assert.deepEqual(options.filter(([name]) => name === "notes.txt"), [["notes.txt", true]]);
}

async function changeOctaves(page) {
  const first = await reliefPixels(page);
  assert.equal(first.width, 256, "the preview is 256 x 256 by default");
  assert.equal(first.height, 256);
  const times = [];
  // Row 0 is a RidgedMulti of 6 octaves; 2 changes the picture plainly.
  times.push(await setField(page, 0, "p1", 2));
  const second = await reliefPixels(page);
  const changed = differingPixels(first, second);
  assert.ok(changed > 256 * 256 / 20, `only ${changed} pixels changed with the octave count`);
  for (const octaves of [3, 4, 5, 6, 5, 4, 3, 2, 6]) times.push(await setField(page, 0, "p1", octaves));
  const third = await reliefPixels(page);
  assert.equal(differingPixels(first, third), 0, "back at 6 octaves, the picture is the first one again");
  log(`change to new picture: median ${median(times).toFixed(0)} ms, ` +
    `${Math.min(...times).toFixed(0)} .. ${Math.max(...times).toFixed(0)} ms over ${times.length} changes`);
}

// Row 2 (ScaleBias of the previous row) moves up: it reads row 0 now, the
// Select's source that named it follows it, and the page says so.
async function moveRow(page) {
  const sourceOfSelect = () => page.$eval(`#rows li[data-row="4"] .field[data-field="p1"] select`, (s) => s.value);
  assert.equal(await sourceOfSelect(), "2");
  await page.click(`#rows li[data-row="2"] button[title="Move up"]`);
  assert.equal(await sourceOfSelect(), "1", "the source named by index follows its row");
  const note = await page.$eval("#move-note", (p) => p.textContent);
  assert.match(note, /row 1 \(ScaleBias\) now reads row 0 \(RidgedMulti\) as its previous row/);
  await page.click(`#rows li[data-row="1"] button[title="Move down"]`);
  assert.equal(await sourceOfSelect(), "2");
  await settle(page);
}

// Removing row 2, which the Select names as source 0: the sources after it
// follow their rows, the one that named it names no row any more, and the
// page says so and shows the refusal at that field. Open brings the example
// back.
async function removeRow(page) {
  await page.click(`#rows li[data-row="2"] button[title="Remove"]`);
  const source = (f) => page.$eval(`#rows li[data-row="3"] .field[data-field="${f}"] select`, (s) => s.value);
  assert.deepEqual([await source("p1"), await source("p2")], ["-1", "0"]);
  assert.match(await page.$eval("#move-note", (p) => p.textContent), /row 3 p1 named the removed ScaleBias row/);
  await page.waitForFunction(() => /names no earlier row/.test(
    document.querySelector(`#rows li[data-row="3"] .field[data-field="p1"] .error`).textContent), { timeout: 60000 });
  const before = await shown(page);
  await page.select("#open", "examples/terrain.txt");
  await page.waitForFunction((old) => Number(document.querySelector("#relief").dataset.shown ?? -1) > old,
    { timeout: 60000 }, before);
  await settle(page);
  assert.equal(await page.$$eval("#rows > li", (items) => items.length), 6);
}

async function outOfRange(page) {
  const before = await shown(page);
  await setField(page, 0, "p1", 31, false);
  const message = await page.waitForFunction(() => {
    const field = document.querySelector(`#rows li[data-row="0"] .field[data-field="p1"]`);
    return field.classList.contains("bad") && field.querySelector(".error").textContent;
  }, { timeout: 60000 });
  const duneforge = runDuneforge(TERRAIN.replace(/^1 6 /m, "1 31 "));
  assert.equal(duneforge.status, 1);
  assert.equal(`duneforge: ${await message.jsonValue()}\n`, duneforge.stderr,
    "the field shows duneforge's own text");
  assert.equal(await shown(page), before, "a refused value leaves the picture as it was");
  await setField(page, 0, "p1", 6);
  assert.equal(await page.$eval(`#rows li[data-row="0"] .field[data-field="p1"] .error`, (e) => e.textContent), "");
}

// Tiles x of 0 is said at its field, and the note goes with the tiles.
async function noTiles(page) {
  const setTiles = (value) => page.$eval("[data-grid=tilesX]", (input, v) => {
    input.value = String(v);
    input.dispatchEvent(new Event("input", { bubbles: true }));
  }, value);
  await setTiles(0);
  const message = await page.waitForFunction(() => {
    const field = document.querySelector(`#grid [data-field="tilesX"]`);
    return field.classList.contains("bad") && document.querySelector("#grid-error").textContent;
  }, { timeout: 60000 });
  assert.match(await message.jsonValue(), /^tiles x is 0: the command file makes no tiles/);
  await setTiles(4);
  await page.waitForFunction(() => !document.querySelector(`#grid [data-field="tilesX"]`).classList.contains("bad") &&
    document.querySelector("#grid-error").textContent === "", { timeout: 60000 });
  await settle(page);
}

// Bounds the server refuses are said at the two grid fields it names, in
// its words, and go once the bound is mended.
async function reversedBounds(page) {
  const setLowerX = (value) => page.$eval("[data-grid=lowerX]", (input, v) => {
    const before = input.value;
    input.value = String(v);
    input.dispatchEvent(new Event("input", { bubbles: true }));
    return before;
  }, value);
  const before = await setLowerX(1000);
  const message = await page.waitForFunction(() => {
    const bad = (name) => document.querySelector(`#grid [data-field="${name}"]`).classList.contains("bad");
    return bad("lowerX") && bad("upperX") && !bad("lowerZ") && document.querySelector("#grid-error").textContent;
  }, { timeout: 60000 });
  assert.match(await message.jsonValue(), /^x range 1000\.000000 \.\. \S+ is empty or reversed$/);
  await setLowerX(before);
  await page.waitForFunction(() => !document.querySelector(`#grid [data-field="lowerX"]`).classList.contains("bad") &&
    document.querySelector("#grid-error").textContent === "", { timeout: 60000 });
  await settle(page);
}

// In a window of 1280 x 720 the relief, the 3D view and the export panel
// are all in sight without scrolling, the pictures large enough to read.
async function fitsTheWindow(page) {
  await page.setViewport({ width: 1280, height: 720 });
  await settle(page);
  for (const id of ["relief", "terrain3d", "export"]) {
    const box = await (await page.$(`#${id}`)).boundingBox();
    assert.ok(box && box.x >= 0 && box.y >= 0 && box.x + box.width <= 1280 && box.y + box.height <= 720,
      `#${id} in sight: ${JSON.stringify(box)}`);
    if (id !== "export") assert.ok(box.width >= 200 && box.height >= 200, `#${id} large enough: ${JSON.stringify(box)}`);
  }
  assert.equal(await page.evaluate(() => document.scrollingElement.scrollHeight <= window.innerHeight), true,
    "the page itself does not scroll");
  await page.screenshot({ path: env("SCREENSHOT").replace(/\.png$/, "-1280x720.png") });
}

async function canvasPicture(page) {
  return page.$eval("#terrain3d canvas", (c) => c.toDataURL("image/png"));
}

async function turn3dView(page) {
  await page.waitForFunction(() => document.querySelector("#terrain3d").dataset.samples === "256x256",
    { timeout: 60000 });
  const before = await canvasPicture(page);
  const box = await (await page.$("#terrain3d canvas")).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width / 2 + 120, box.y + box.height / 2 + 20, { steps: 8 });
  await page.mouse.up();
  assert.notEqual(await canvasPicture(page), before, "dragging turns the 3D view");
}

// The exported header against duneforge's own heights and the 3D view. The
// header holds the range as engine numbers, in steps of 1/1024 rounded to
// the nearest (halves away from zero), and packs it into 0 .. 65535:
// duneforge's heights times the scale that makes them span a tenth of the
// larger side, 102.2. The view shows what was exported: extents and height
// span within 1 %.
function heightsAsShown(hmp, view) {
  const { heights } = runDuneforge(TERRAIN);
  assert.equal(heights.length, AREA_SIDE * AREA_SIDE);
  const lowest = heights.reduce((a, b) => Math.min(a, b));
  const highest = heights.reduce((a, b) => Math.max(a, b));
  const engine = (value) => Math.sign(value) * Math.round(Math.abs(value) * 1024) / 1024;
  const heightScale = 102.2 / (highest - lowest);
  const [scale, offset] = [hmp.header.scale[2], hmp.header.offset[2]];
  // (modelinfo prints the header's floats with 7 digits.)
  assert.ok(Math.abs(offset - engine(lowest * heightScale)) < 1e-4,
    `lowest height ${offset}, duneforge's ${lowest} times ${heightScale}`);
  assert.ok(Math.abs(offset + 65535 * scale - engine(highest * heightScale)) < 1e-4,
    `highest height ${offset + 65535 * scale}, duneforge's ${highest} times ${heightScale}`);
  const exported = [hmp.header.scale[0] * 65535, hmp.header.scale[1] * 65535, scale * 65535];
  for (let axis = 0; axis < 3; ++axis) {
    assert.ok(Math.abs(view[axis] - exported[axis]) <= 0.01 * exported[axis],
      `the 3D view's ${view.join(" x ")} against the export's ${exported.join(" x ")}`);
  }
}

// Exports HMP7 with the preview as its skin and reads it back with
// modelinfo: the whole area's grid, one frame and a picture skin, and a
// height range that is the range of duneforge's own heights.
async function exportHmp7(page, folder) {
  await page.$eval("#export-name", (input) => { input.value = "studio-test"; });
  await page.select("#export-skin", "preview");
  // Samples 2 apart, and the default height scale: the 3D view redraws the
  // 1022 x 1022 world with heights that span a tenth of it.
  await page.$eval("#export-spacing", (input) => {
    input.value = "2";
    input.dispatchEvent(new Event("change"));
  });
  await page.waitForFunction(() => (document.querySelector("#terrain3d").dataset.extent ?? "").startsWith("1022 1022 "),
    { timeout: 60000 });
  const view = (await page.$eval("#terrain3d", (e) => e.dataset.extent)).split(" ").map(Number);
  // Whether the progress bar showed, however short the export.
  await page.$eval("#export-progress", (bar) => {
    new MutationObserver(() => { if (!bar.hidden) bar.dataset.wasShown = "yes"; })
      .observe(bar, { attributes: true, attributeFilter: ["hidden"] });
  });
  await page.click(`[data-export="hmp7"]`);
  await page.waitForFunction(() => !document.querySelector(`[data-export="hmp7"]`).disabled, { timeout: 120000 });
  assert.equal(await page.$eval("#export-progress", (bar) => bar.dataset.wasShown), "yes", "progress showed");
  const report = await page.$eval("#export-status", (s) => s.textContent);
  assert.match(report, /^wrote .*studio-test\.hmp/, `the export: ${report}`);
  const file = path.join(folder, "studio-test.hmp");
  const info = spawnSync(env("MODELINFO"), ["--json", file], { encoding: "utf8" });
  assert.equal(info.status, 0, info.stderr);
  const [hmp] = JSON.parse(info.stdout);
  assert.equal(hmp.magic, "HMP7");
  assert.equal(hmp.walk.complete, true);
  assert.deepEqual([hmp.counts.columns, hmp.counts.rows, hmp.counts.frames, hmp.counts.skins],
    [AREA_SIDE, AREA_SIDE, 1, 1]);
  // The preview as its skin: a picture with its reduced mip levels (a blank
  // skin has none), its sides multiples of 8.
  const [skin] = hmp.skins;
  assert.deepEqual([skin.mipmaps, skin.width % 8, skin.height % 8], [true, 0, 0], JSON.stringify(skin));
  heightsAsShown(hmp, view);
  // The Blender test imports the same file and holds it against the view.
  const kept = path.join(path.dirname(env("SCREENSHOT")), "studio-export");
  fs.mkdirSync(kept, { recursive: true });
  fs.copyFileSync(file, path.join(kept, "studio-test.hmp"));
  fs.writeFileSync(path.join(kept, "view.json"), JSON.stringify({ extent: view }));
  log(`exported ${path.basename(file)}: ${fs.statSync(file).size} bytes, read back by modelinfo; 3D view ${view.join(" x ")}`);
  await reliefFacesNorth(page, file, folder);
  await exportAgain(page, file);
}

// The same export again asks before it replaces the file: dismissed, the
// file stays as it was; accepted, it is written anew.
async function exportAgain(page, file) {
  fs.writeFileSync(file, "kept");
  const questions = [];
  const answer = (accept) => (dialog) => {
    questions.push(dialog.message());
    return accept ? dialog.accept() : dialog.dismiss();
  };
  for (const accept of [false, true]) {
    const handler = answer(accept);
    page.once("dialog", handler);
    await page.click(`[data-export="hmp7"]`);
    await page.waitForFunction(() => /^(wrote|HMP7: not exported)/.test(document.querySelector("#export-status").textContent),
      { timeout: 120000 });
    await page.waitForFunction(() => !document.querySelector(`[data-export="hmp7"]`).disabled);
    assert.equal(questions.length, accept ? 2 : 1, "the export asked before replacing");
    assert.match(questions.at(-1), /studio-test\.hmp is in the folder already\. Replace\?/);
    const kept = fs.readFileSync(file, "latin1");
    if (accept) assert.equal(kept.slice(0, 4), "HMP7", "the accepted export replaced the file");
    else assert.equal(kept, "kept", "the dismissed export left the file as it was");
  }
}

// The browser keeps the world's scale for the next visit.
async function scaleIsKept(page) {
  await page.$eval("#export-height-scale", (input) => {
    input.value = "3";
    input.dispatchEvent(new Event("change"));
  });
  await page.reload();
  await page.waitForSelector("#relief[data-shown]", { timeout: 60000 });
  assert.deepEqual([await page.$eval("#export-spacing", (i) => i.value),
    await page.$eval("#export-height-scale", (i) => i.value)], ["2", "3"], "the scale came back");
}

// The whole page, from the top: the studio with the terrain example after
// the test's changes, with its 3D view turned.
let screenshotTaken = false;
async function screenshot(page) {
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({ path: env("SCREENSHOT"), fullPage: true });
  screenshotTaken = true;
  log(`screenshot in ${env("SCREENSHOT")}`);
}

async function main() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "studio-page-"));
  // Text beside the command files that Open must not offer.
  fs.writeFileSync(path.join(folder, "notes.txt"), "not a command file\n");
  const { child, address } = await startStudio(folder);
  const args = ["--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--disable-dev-shm-usage"];
  // Chromium refuses to run as root inside its sandbox.
  if (process.getuid && process.getuid() === 0) args.push("--no-sandbox");
  const problems = [];
  let browser = null;
  let page = null;
  try {
    browser = await puppeteer.launch({ executablePath: env("CHROMIUM"), headless: true, args });
    page = await browser.newPage();
    page.on("pageerror", (error) => problems.push(error.message));
    // What the studio's content policy blocks, as the page met it.
    await page.evaluateOnNewDocument(() => {
      window.blockedByPolicy = [];
      document.addEventListener("securitypolicyviolation",
        (e) => window.blockedByPolicy.push(`${e.violatedDirective} ${e.blockedURI}`));
    });
    await page.setViewport({ width: 1400, height: 1000 });
    const started = Date.now();
    await page.goto(`${address}#examples/single_perlin.txt`);
    await page.waitForSelector("#relief[data-shown]", { timeout: 60000 });
    log(`first picture ${Date.now() - started} ms after the page was asked for`);
    await loadExample(page);
    await saveExample(page, folder);
    await typeChangeAndNewSeed(page);
    await rowPreview(page);
    await undoRedoAndSave(page);
    await noTiles(page);
    await reversedBounds(page);
    await changeOctaves(page);
    await moveRow(page);
    await outOfRange(page);
    await turn3dView(page);
    await screenshot(page);
    await removeRow(page);
    assert.deepEqual(problems, [], "the page raised no error");
    await exportHmp7(page, folder);
    assert.deepEqual(problems, [], "the page raised no error while exporting");
    await fitsTheWindow(page);
    await scaleIsKept(page);
    assert.deepEqual(await page.evaluate(() => window.blockedByPolicy), [],
      "the content policy blocked nothing that the page and its 3D view use");
  } finally {
    // Where the test failed before it, the page as the test left it.
    if (page && !screenshotTaken) await screenshot(page).catch(() => {});
    if (browser) await browser.close();
    child.kill();
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

main().then(() => log("passed"), (error) => {
  console.error(`studio page: FAILED: ${error.stack ?? error}`);
  process.exitCode = 1;
});
