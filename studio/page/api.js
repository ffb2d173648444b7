// The studio server's interface, as the page calls it.

export async function getJson(path) {
  const answer = await fetch(path);
  return answer.json();
}

export async function postJson(path, body) {
  const answer = await fetch(path, { method: "POST", headers: { "Content-Type": "application/json" },
    body: JSON.stringify(body) });
  return answer.json();
}

export async function putText(path, text) {
  const answer = await fetch(path, { method: "PUT", headers: { "Content-Type": "text/plain" }, body: text });
  return answer.json();
}

// {status, picture: Blob} for a picture, {status, body} for a refusal.
export async function postPreview(request) {
  const answer = await fetch("/api/preview", { method: "POST", headers: { "Content-Type": "application/json" },
    body: JSON.stringify(request) });
  if (answer.ok) return { status: answer.status, picture: await answer.blob() };
  return { status: answer.status, body: await answer.json() };
}
