// What moving or removing a row does to the rest of the chain. Rows are
// {id, values: [type, p1, p2, p3, p4]}; `kindOf(type)` gives the type's entry
// of the studio's vocabulary. Nothing here changes the rows it is given:
// each function answers with new ones.

// The places in `values` (1 for p1 .. 4 for p4) of the fields that name
// rows by index.
export function indexFields(values, kindOf) {
  const result = [];
  kindOf(values[0]).fields.forEach((f, index) => { if (f.use === "rowIndex") result.push(index + 1); });
  return result;
}

// For each row with a previous-row input, by id: the id of the row it
// reads, or null for the first row, which has none.
export function previousReaders(rows, kindOf) {
  const reads = new Map();
  rows.forEach((row, i) => {
    if (kindOf(row.values[0]).inputs.some((input) => input.from === "previous")) {
      reads.set(row.id, i > 0 ? rows[i - 1].id : null);
    }
  });
  return reads;
}

// The readers of `after` (a previousReaders answer) that read another row,
// or none, than in `before`: [{reader, previous}] by id, previous null for
// none. A row's previous-row input does not follow the rows, so a move can
// change what it reads.
export function changedReaders(before, after) {
  const changed = [];
  for (const [reader, previous] of after) {
    if (before.get(reader) !== previous) changed.push({ reader, previous });
  }
  return changed;
}

// Row i moved by `step` (-1 or 1) over its neighbour j: sources that named
// row i name row j and the other way round, so each still reads the same
// row. {rows, changed} with `changed` as changedReaders gives it.
export function moveRow(rows, i, step, kindOf) {
  const j = i + step;
  const moved = rows.map((row) => ({ ...row, values: row.values.slice() }));
  [moved[i], moved[j]] = [moved[j], moved[i]];
  for (const row of moved) {
    for (const f of indexFields(row.values, kindOf)) {
      const k = Math.trunc(row.values[f]);
      if (k === i) row.values[f] = j;
      else if (k === j) row.values[f] = i;
    }
  }
  return { rows: moved, changed: changedReaders(previousReaders(rows, kindOf), previousReaders(moved, kindOf)) };
}

// Row i removed: sources that named a later row follow it down by one; a
// source that named row i names no row (-1) until another is chosen.
// {rows, dangling: [{row, field}]} with each such source's new row and
// field place (1 .. 4).
export function removeRow(rows, i, kindOf) {
  const kept = rows.filter((_, r) => r !== i).map((row) => ({ ...row, values: row.values.slice() }));
  const dangling = [];
  kept.forEach((row, r) => {
    for (const f of indexFields(row.values, kindOf)) {
      const k = Math.trunc(row.values[f]);
      if (k > i) row.values[f] -= 1;
      else if (k === i) {
        row.values[f] = -1;
        dangling.push({ row: r, field: f });
      }
    }
  });
  return { rows: kept, dangling };
}
