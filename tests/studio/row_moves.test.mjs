// The page's renumbering of row sources on moves and removals, run by
// node's own test runner against a small vocabulary of three kinds.
import { test } from "node:test";
import assert from "node:assert/strict";
import { moveRow, removeRow } from "../../studio/page/row_moves.js";

const setting = { use: "setting" };
const rowIndex = { use: "rowIndex" };
const KINDS = [
  // 0: a generator, reading no row.
  { fields: [setting, setting, setting, setting], inputs: [] },
  // 1: reads the previous row and the row p1 names.
  { fields: [rowIndex, setting, setting, setting], inputs: [{ from: "previous" }, { from: "p1" }] },
  // 2: reads the rows p1 and p2 name.
  { fields: [rowIndex, rowIndex, setting, setting], inputs: [{ from: "p1" }, { from: "p2" }] },
];
const kindOf = (type) => KINDS[type];
const row = (id, values) => ({ id, values });

test("a move keeps the sources named by index on their rows, both ways, and leaves its input alone", () => {
  // Row 2 reads row 0 through p1 and row 1 through p2 (1.9 names row 1).
  const rows = [row(10, [0, 6, 1, 0.5, 0]), row(11, [0, 3, 2, 0.5, 0]), row(12, [2, 0, 1.9, 0, 0])];
  const before = JSON.stringify(rows);
  const { rows: moved } = moveRow(rows, 0, 1, kindOf);
  assert.deepEqual(moved.map((r) => r.id), [11, 10, 12]);
  // Row 10 is row 1 now and row 11 row 0.
  assert.deepEqual(moved[2].values, [2, 1, 0, 0, 0]);
  // Setting fields that hold small numbers are not sources.
  assert.deepEqual(moved[0].values, [0, 3, 2, 0.5, 0]);
  assert.equal(JSON.stringify(rows), before);
});

test("a move says which previous-row inputs now read another row", () => {
  // Row 2 (id 22) reads row 1 as its previous row and row 0 through p1.
  const rows = [row(20, [0, 6, 1, 0.5, 0]), row(21, [0, 6, 1, 0.5, 0]), row(22, [1, 0, 0, 0, 0])];
  const up = moveRow(rows, 2, -1, kindOf);
  assert.deepEqual(up.rows.map((r) => r.id), [20, 22, 21]);
  assert.deepEqual(up.changed, [{ reader: 22, previous: 20 }]);
  assert.equal(up.rows[1].values[1], 0, "p1 still names row 0");
  const top = moveRow(up.rows, 1, -1, kindOf);
  assert.deepEqual(top.changed, [{ reader: 22, previous: null }]);
  assert.equal(top.rows[0].values[1], 1, "p1 follows row 20 to row 1");
  // Swapping the two rows above it changes what it reads, though it stays.
  assert.deepEqual(moveRow(rows, 0, 1, kindOf).changed, [{ reader: 22, previous: 20 }]);
  // A row that reads its previous row moved down past a generator.
  const other = [row(40, [1, 0, 0, 0, 0]), row(41, [0, 6, 1, 0.5, 0])];
  assert.deepEqual(moveRow(other, 0, 1, kindOf).changed, [{ reader: 40, previous: 41 }]);
});

test("a removal moves later sources down and leaves those of the removed row naming none", () => {
  const rows = [
    row(30, [0, 6, 1, 0.5, 0]),
    row(31, [0, 6, 1, 0.5, 0]),
    row(32, [2, 1, 0, 0, 0]),  // reads rows 1 and 0
    row(33, [2, 0, 2, 0, 0]),  // reads rows 0 and 2
  ];
  const before = JSON.stringify(rows);
  const { rows: kept, dangling } = removeRow(rows, 1, kindOf);
  assert.deepEqual(kept.map((r) => r.id), [30, 32, 33]);
  assert.deepEqual(kept[1].values, [2, -1, 0, 0, 0]);
  assert.deepEqual(kept[2].values, [2, 0, 1, 0, 0]);
  assert.deepEqual(dangling, [{ row: 1, field: 1 }]);
  assert.equal(JSON.stringify(rows), before);
});
