// The studio server's interface, as the page calls it. Every refusal of the
// server is one line of JSON, {"error": "..."}.

const JSON_TYPE = { "Content-Type": "application/json" };

// The answer's JSON, or a refusal made up when it carries none.
async function bodyOf(answer) {
  try {
    return await answer.json();
  } catch {
    return { error: `the server answered ${answer.status} without JSON` };
  }
}

// {ok, status, body} of a request.
async function answerOf(promise) {
  const answer = await promise;
  return { ok: answer.ok, status: answer.status, body: await bodyOf(answer) };
}

export const getAnswer = (path) => answerOf(fetch(path));

export const postAnswer = (path, body) =>
  answerOf(fetch(path, { method: "POST", headers: JSON_TYPE, body: JSON.stringify(body) }));

export const deleteAnswer = (path) => answerOf(fetch(path, { method: "DELETE" }));

export async function getJson(path) { return (await getAnswer(path)).body; }

export async function postJson(path, body) { return (await postAnswer(path, body)).body; }

export async function putText(path, text) {
  return (await answerOf(fetch(path, { method: "PUT", headers: { "Content-Type": "text/plain" }, body: text }))).body;
}

// {status, picture: Blob} for a picture, {status, body} for a refusal.
export async function postPreview(request) {
  const answer = await fetch("/api/preview", { method: "POST", headers: JSON_TYPE, body: JSON.stringify(request) });
  if (answer.ok) return { status: answer.status, picture: await answer.blob() };
  return { status: answer.status, body: await bodyOf(answer) };
}
