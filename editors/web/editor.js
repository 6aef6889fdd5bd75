// The translation editor's page: the tree of forms and texts, the base text beside the
// translation, the form as the application shows it, and the statistics of the language.
// Every request carries the token the server printed; nothing is loaded from elsewhere.
"use strict";

const token = new URLSearchParams(location.search).get("token") || "";
const $ = (id) => document.getElementById(id);
const state = {
  languages: [],
  base: "",
  target: "",
  tree: [],          // [{name, objects: [{id, label, type, status}]}]
  selected: null,    // object id
  entryText: null,   // the stored target text when the object was shown (what a save expects)
  saving: false,
};
const statusNames = {
  untranslated: "untranslated",
  review: "to review",
  "signed-off": "signed off",
  locked: "locked",
};

class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

async function api(path, params = {}, body = null) {
  const query = new URLSearchParams(params).toString();
  const response = await fetch("/api/" + path + (query ? "?" + query : ""), {
    method: body ? "POST" : "GET",
    headers: body ? {"X-Quintrel-Token": token, "Content-Type": "application/json"} : {"X-Quintrel-Token": token},
    body: body ? JSON.stringify(body) : null,
    cache: "no-store",
  });
  const type = response.headers.get("Content-Type") || "";
  const payload = type.startsWith("application/json") ? await response.json() : await response.text();
  if (!response.ok) throw new ApiError(response.status, payload && payload.error ? payload.error : String(payload));
  return payload;
}

function say(text, kind = "") {
  const m = $("message");
  m.textContent = text;
  m.className = kind;
}

function language(id) {
  return state.languages.find((l) => l.id === id) || {id, name: id, rtl: false, script: ""};
}

// The text field takes the language's direction and script, as the application would.
function dress(element, id) {
  const l = language(id);
  element.lang = l.id;
  element.dir = l.rtl ? "rtl" : "ltr";
  element.className = l.script ? "script-" + l.script : "";
}

// --- the tree ---------------------------------------------------------------------------

function objectItem(object) {
  const li = document.createElement("li");
  li.className = "object";
  li.dataset.object = object.id;
  li.setAttribute("role", "treeitem");
  li.title = object.path + " · " + statusNames[object.status];
  const dot = document.createElement("span");
  dot.className = "dot " + object.status;
  li.append(dot, document.createTextNode(object.label));
  li.addEventListener("click", () => select(object.id, true));
  return li;
}

function renderTree() {
  const filter = $("filter").value;
  const tree = $("tree");
  tree.replaceChildren();
  for (const form of state.tree) {
    const objects = form.objects.filter((o) => filter === "all" || o.status === filter);
    if (!objects.length) continue;
    const li = document.createElement("li");
    const details = document.createElement("details");
    details.dataset.form = form.name;
    const summary = document.createElement("summary");
    const open = form.objects.filter((o) => o.status === "untranslated").length;
    summary.append(document.createTextNode(form.name + " "));
    const count = document.createElement("span");
    count.className = "count";
    count.textContent = open ? "(" + open + " untranslated)" : "";
    summary.append(count);
    const ul = document.createElement("ul");
    ul.setAttribute("role", "group");
    for (const object of objects) ul.append(objectItem(object));
    details.append(summary, ul);
    li.append(details);
    tree.append(li);
  }
  markSelected();
}

function findObject(id) {
  for (const form of state.tree)
    for (const object of form.objects) if (object.id === id) return {form, object};
  return null;
}

// Only the selected object's form stays open while walking, as in a tree view.
function markSelected() {
  for (const li of document.querySelectorAll("#tree li.object"))
    li.classList.toggle("selected", Number(li.dataset.object) === state.selected);
  const found = state.selected && findObject(state.selected);
  if (!found) return;
  for (const details of document.querySelectorAll("#tree details"))
    if (details.dataset.form === found.form.name) details.open = true;
  const item = document.querySelector('#tree li.object[data-object="' + state.selected + '"]');
  if (item) item.scrollIntoView({block: "nearest"});
}

async function loadTree() {
  const result = await api("tree", {base: state.base, target: state.target});
  state.tree = result.forms;
  renderTree();
}

async function loadStats() {
  const s = await api("stats", {lang: state.target});
  const pct = (n) => (s.total ? Math.round((100 * n) / s.total) : 0) + " %";
  $("stats").textContent =
    language(state.target).name + ": " + s.total + " texts · " + s.untranslated + " untranslated (" +
    pct(s.untranslated) + ") · " + s.review + " to review (" + pct(s.review) + ") · " + s.signedOff +
    " signed off (" + pct(s.signedOff) + ")" + (s.locked ? " · " + s.locked + " locked" : "");
}

// --- one object -------------------------------------------------------------------------

async function show(id) {
  const o = await api("show", {object: id, base: state.base, target: state.target});
  state.selected = id;
  state.entryText = o.target;
  $("path").textContent = o.form + "." + (o.component ? o.component + "." : "") + o.property;
  $("type").textContent = o.type;
  $("baseText").value = o.base;
  const field = $("targetText");
  field.value = o.target;
  field.disabled = !o.editable;
  const status = $("status");
  status.textContent = statusNames[o.status] || o.status;
  status.className = "status " + o.status;
  $("commentRow").hidden = !o.comment;
  $("comment").textContent = o.comment || "";
  $("suggestionRow").hidden = !o.suggestion;
  $("suggestion").textContent = o.suggestion || "";
  dress($("suggestion"), state.target);
  $("translate").disabled = !o.canTranslate;
  $("clear").disabled = o.status !== "review";
  // A signed-off text is changed only after it is reopened for review.
  $("reopen").hidden = o.status !== "signed-off" || o.picture;
  $("signoff").hidden = o.status !== "review";
  const entry = findObject(id);
  if (entry) entry.object.status = o.status;
  markSelected();
  if (o.editable) {
    field.focus();
    field.setSelectionRange(field.value.length, field.value.length);
  }
  await preview();
}

async function preview() {
  if (!state.selected) return;
  $("previewLang").textContent = language(state.target).name;
  $("previewBox").hidden = false;
  try {
    const svg = await api("preview", {object: state.selected, target: state.target});
    const box = $("preview");
    box.innerHTML = svg;
    // Drawn half as large again as the screen would show it, so that small print reads.
    const picture = box.querySelector("svg");
    if (picture) picture.style.width = Math.round(1.5 * picture.width.baseVal.value) + "px";
    if (picture) picture.style.height = "auto";
    const selected = box.querySelector("g.selected");
    const notShown = box.querySelector("g.not-shown");
    $("previewNote").textContent = notShown
      ? " (" + notShown.dataset.name + " has no place on the form)"
      : "";
    if (selected && selected.getBoundingClientRect) selected.scrollIntoView({block: "nearest", inline: "nearest"});
  } catch (e) {
    $("preview").textContent = e.message;
  }
}

// Stores the field's text when it differs from what was shown. True when nothing is left
// unsaved (so the caller may move on).
async function save() {
  const field = $("targetText");
  if (!state.selected || field.disabled || state.saving) return true;
  const text = field.value;
  if (text === state.entryText) return true;
  state.saving = true;
  try {
    await api("set", {}, {object: state.selected, lang: state.target, text, expected: state.entryText});
    state.entryText = text;
    await Promise.all([show(state.selected), loadStats()]);
    renderTree();
    say("Saved.", "ok");
    return true;
  } catch (e) {
    // The field keeps what the translator typed; the stored text is shown beside it.
    say(e.message, "error");
    if (e.status === 409) {
      const o = await api("show", {object: state.selected, base: state.base, target: state.target});
      $("suggestionRow").hidden = false;
      $("suggestion").textContent = o.target;
      state.entryText = o.target;
    }
    return false;
  } finally {
    state.saving = false;
  }
}

async function select(id, fromTree = false) {
  if (id === state.selected) return;
  if (!(await save())) return;
  say("");
  await show(id);
  if (fromTree) $("targetText").focus();
}

async function move(direction) {
  if (!(await save())) return;
  const result = await api(direction, {from: state.selected || 0, target: state.target});
  if (result.object === null || result.object === undefined) {
    say(direction === "next" ? "No untranslated text after this one." : "No untranslated text before this one.");
    return;
  }
  say("");
  await show(result.object);
}

// The dictionaries' translation is stored at once, as a typed one would be.
async function translate() {
  if (!state.selected || !(await save())) return;
  const result = await api("translate", {}, {object: state.selected, base: state.base, target: state.target});
  if (result.text === null) {
    say("The dictionaries have no translation of this text.");
    return;
  }
  say("Translated.", "ok");
  await Promise.all([show(state.selected), loadStats()]);
  renderTree();
}

async function clearTerm() {
  if (!state.selected) return;
  await api("clear", {}, {object: state.selected, lang: state.target});
  say("Cleared.", "ok");
  await Promise.all([show(state.selected), loadStats()]);
  renderTree();
}

async function setStatus(status) {
  if (!state.selected || !(await save())) return;
  await api("status", {}, {object: state.selected, lang: state.target, status});
  say(status === "review" ? "Reopened for review." : "Signed off.", "ok");
  await Promise.all([show(state.selected), loadStats()]);
  renderTree();
}

function guard(action) {
  return (...args) => action(...args).catch((e) => say(e.message, "error"));
}

// --- start ------------------------------------------------------------------------------

async function start() {
  const info = await api("info");
  state.languages = info.languages;
  state.base = info.base;
  state.target = info.target;
  $("project").textContent = "— " + info.project;
  for (const [select, value] of [[$("base"), state.base], [$("target"), state.target]]) {
    for (const l of info.languages) select.add(new Option(l.name + " (" + l.id + ")", l.id, false, l.id === value));
  }
  dress($("baseText"), state.base);
  dress($("targetText"), state.target);
  $("baseName").textContent = language(state.base).name;
  $("targetName").textContent = language(state.target).name;
  await Promise.all([loadTree(), loadStats()]);
}

$("filter").addEventListener("change", renderTree);
$("base").addEventListener("change", guard(async (e) => {
  state.base = e.target.value;
  dress($("baseText"), state.base);
  $("baseName").textContent = language(state.base).name;
  if (state.selected) await show(state.selected);
}));
$("target").addEventListener("change", guard(async (e) => {
  if (!(await save())) return;
  state.target = e.target.value;
  dress($("targetText"), state.target);
  $("targetName").textContent = language(state.target).name;
  await Promise.all([loadTree(), loadStats()]);
  if (state.selected) await show(state.selected);
}));
$("next").addEventListener("click", guard(() => move("next")));
$("prev").addEventListener("click", guard(() => move("prev")));
$("save").addEventListener("click", guard(save));
$("translate").addEventListener("click", guard(translate));
$("clear").addEventListener("click", guard(clearTerm));
$("reopen").addEventListener("click", guard(() => setStatus("review")));
$("signoff").addEventListener("click", guard(() => setStatus("signed-off")));
$("take").addEventListener("click", () => {
  $("targetText").value = $("suggestion").textContent;
  $("targetText").focus();
});
$("preview").addEventListener("click", guard(async (e) => {
  const group = e.target.closest && e.target.closest("g[data-object]");
  if (group) await select(Number(group.dataset.object.split(" ")[0]));
}));
document.addEventListener("keydown", guard(async (e) => {
  if (e.key === "PageDown" || e.key === "PageUp") {
    e.preventDefault();
    await move(e.key === "PageDown" ? "next" : "prev");
  } else if (e.key === "Enter" && !e.shiftKey && e.target === $("targetText")) {
    e.preventDefault();
    await save();
  }
}));

start().catch((e) => say(e.message, "error"));
