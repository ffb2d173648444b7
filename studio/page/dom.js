// The small DOM helpers every part of the page uses.

export const $ = (id) => document.getElementById(id);

export function button(text, title, action, disabled) {
  const b = document.createElement("button");
  b.textContent = text;
  b.title = title;
  b.disabled = disabled;
  b.addEventListener("click", action);
  return b;
}

// The fewest digits that give back the float `value` (0.1 rather than
// 0.10000000149011612): number fields hold single-precision floats.
export function floatText(value) {
  for (let digits = 1; digits <= 9; ++digits) {
    const text = Number(value.toPrecision(digits));
    if (Math.fround(text) === Math.fround(value)) return String(text);
  }
  return String(value);
}
