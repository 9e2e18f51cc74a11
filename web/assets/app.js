// The page of the node: the desktop's workflow over the node's JSON API.
// Every text that came from a peer or a file is put in as text (textContent,
// never markup), and the page runs no inline script.
'use strict';

const state = { category: null, threadId: null, rows: [], total: 0, shownThread: null, categories: [],
  favourites: false, news: { threads: {}, categories: {}, favourites: 0 }, showFiltered: false, reader: true };

// ---- Access token -----------------------------------------------------------

// The token comes once in the address's fragment (which the browser never
// sends) or from the login form, and is kept in this origin's own storage:
// another port or host of the machine cannot read it, and no cookie carries
// it anywhere.
const TOKEN_KEY = 'pelmar-token';

function takeTokenFromAddress() {
  const match = /^#token=([0-9a-fA-F]{32,128})$/.exec(location.hash);
  if (match) saveToken(match[1]);
  if (location.hash) history.replaceState(null, '', location.pathname + location.search);
}

function saveToken(value) {
  try { localStorage.setItem(TOKEN_KEY, value); } catch (e) { /* storage refused */ }
}

function token() {
  try { return localStorage.getItem(TOKEN_KEY) || ''; } catch (e) { return ''; }
}

function showLogin(wrong) {
  document.body.classList.add('locked');
  document.getElementById('login').hidden = false;
  document.getElementById('login-reason').textContent = wrong
    ? 'アクセストークンが違います。ノードが作り直した古いトークンかもしれません。'
    : 'このページを使うにはアクセストークンが必要です。';
  document.querySelector('#login input[name=token]').focus();
}

function hideLogin() {
  document.body.classList.remove('locked');
  document.getElementById('login').hidden = true;
}

// ---- API -------------------------------------------------------------------

class Unauthorized extends Error {}

async function api(method, path, body) {
  const options = { method, headers: { Authorization: 'Bearer ' + token() }, credentials: 'omit' };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  const reply = await fetch(path, options);
  let data = null;
  try { data = await reply.json(); } catch (e) { data = null; }
  if (reply.status === 401) {
    showLogin(true);
    throw new Unauthorized(data && data.error ? data.error : '401');
  }
  if (!reply.ok) {
    const reason = data && data.error ? data.error : String(reply.status);
    throw new Error(reason);
  }
  return data;
}

// A failed command says why; a missing token has shown the login form.
function tell(error) {
  if (!(error instanceof Unauthorized)) alert(error.message);
}

// ---- Shift_JIS --------------------------------------------------------------

// The characters the node's Shift_JIS (CP932) holds: every one its codes
// decode to, and the few more its converter takes one way.
let sendable = null;
function sendableSet() {
  if (sendable) return sendable;
  sendable = new Set('\u00a2\u00a3\u00a5\u00ac\u2014\u2016\u203e\u2212\u301c');
  const decoder = new TextDecoder('shift_jis');
  const add = (bytes) => {
    const text = decoder.decode(new Uint8Array(bytes));
    if (text.length === 1 && text !== '\ufffd') sendable.add(text);
  };
  for (let b = 0xa1; b <= 0xdf; ++b) add([b]);
  for (let lead = 0x81; lead <= 0xfc; ++lead) {
    if (lead > 0x9f && lead < 0xe0) continue;
    for (let trail = 0x40; trail <= 0xfc; ++trail) if (trail !== 0x7f) add([lead, trail]);
  }
  return sendable;
}

// The characters of text that cannot be sent, each once, named with their
// code (some have no visible shape).
function unsendable(text) {
  const found = [];
  for (const ch of text) {
    const c = ch.codePointAt(0);
    if (c < 0x80 || sendableSet().has(ch)) continue;
    const name = '「' + ch + '」(U+' + c.toString(16).toUpperCase().padStart(4, '0') + ')';
    if (!found.includes(name)) found.push(name);
  }
  return found;
}

// Bytes a character takes as stored: ASCII and half-width katakana one, the
// rest two; "<" and ">" are stored as "&lt;" and "&gt;", and a line break in
// a body as CR LF.
function sjisBytes(text) {
  let bytes = 0;
  for (const ch of text) {
    const c = ch.codePointAt(0);
    if (c === 0x0a) bytes += 2;
    else if (c === 0x3c || c === 0x3e) bytes += 4;
    else if (c < 0x80 || (c >= 0xff61 && c <= 0xff9f)) bytes += 1;
    else bytes += 2;
  }
  return bytes;
}

// Typing and pasting stop at the field's limit: what would go past it is cut
// from the end of the insertion. Characters that cannot be sent are named
// as they are typed.
function applyLimit(field) {
  const limit = Number(field.dataset.limit);
  field.addEventListener('input', () => {
    let value = field.value;
    if (sjisBytes(value) > limit) {
      let caret = field.selectionEnd != null ? field.selectionEnd : value.length;
      while (sjisBytes(value) > limit && caret > 0) {
        const cut = caret >= 2 && /[\uDC00-\uDFFF]/.test(value[caret - 1]) ? 2 : 1;
        value = value.slice(0, caret - cut) + value.slice(caret);
        caret -= cut;
      }
      while (sjisBytes(value) > limit) value = value.slice(0, -1);
      field.value = value;
      field.setSelectionRange(caret, caret);
    }
    const form = field.form;
    if (form && form.querySelector('.error')) form.querySelector('.error').textContent = unsendableReason(form);
  });
}

function unsendableReason(form) {
  const found = [];
  for (const field of form.querySelectorAll('[data-limit]'))
    for (const name of unsendable(field.value)) if (!found.includes(name)) found.push(name);
  return found.length ? 'Shift_JIS で送れない文字があります: ' + found.join(' ') : '';
}

// ---- Category tree ----------------------------------------------------------

async function loadCategories() {
  const items = await api('GET', '/api/categories');
  state.categories = items;
  const tree = document.getElementById('category-tree');
  tree.replaceChildren();
  // The favourites come first, across every category.
  const favourites = document.createElement('li');
  const favouritesLabel = document.createElement('span');
  favouritesLabel.id = 'favourites-node';
  favouritesLabel.textContent = 'お気に入り';
  favouritesLabel.addEventListener('click', selectFavourites);
  favourites.append(favouritesLabel);
  tree.append(favourites);
  const lists = [];
  const nodes = [];
  items.forEach((item, index) => {
    const li = document.createElement('li');
    const label = document.createElement('span');
    label.textContent = item.name;
    label.dataset.index = String(index);
    label.addEventListener('click', () => selectCategory(index));
    li.append(label);
    nodes.push(li);
    if (item.parent < 0) {
      tree.append(li);
    } else {
      const parent = nodes[item.parent];
      let sub = lists[item.parent];
      if (!sub) {
        sub = document.createElement('ul');
        lists[item.parent] = sub;
        parent.append(sub);
        parent.classList.add('closed');
        const toggle = document.createElement('span');
        toggle.className = 'toggle';
        toggle.textContent = '+';
        toggle.addEventListener('click', () => {
          parent.classList.toggle('closed');
          toggle.textContent = parent.classList.contains('closed') ? '+' : '-';
        });
        parent.prepend(toggle);
      }
      sub.append(li);
    }
  });
}

function markCategory() {
  for (const span of document.querySelectorAll('#category-tree li > span[data-index]')) {
    const item = state.categories[Number(span.dataset.index)];
    span.classList.toggle('selected', !state.favourites && item !== undefined && item.name === state.category);
    const fresh = item !== undefined ? state.news.categories[item.name] || 0 : 0;
    span.textContent = item === undefined ? '' : (fresh > 0 ? item.name + ' (' + fresh + ')' : item.name);
    span.classList.toggle('fresh', fresh > 0);
  }
  const node = document.getElementById('favourites-node');
  if (node) {
    // The new responses of every favourite, as the desktop's tree shows them.
    const fresh = state.news.favourites || 0;
    node.textContent = fresh > 0 ? 'お気に入り (' + fresh + ')' : 'お気に入り';
    node.classList.toggle('fresh', fresh > 0);
    node.classList.toggle('selected', state.favourites);
  }
}

async function selectFavourites() {
  state.favourites = true;
  markCategory();
  try { await loadRows(); } catch (e) { setStatusText(e.message); }
}

async function selectCategory(index) {
  const item = state.categories[index];
  if (!item) return;
  try {
    const reply = await api('POST', '/api/select', { category: item.name });
    state.category = reply.category;
    state.favourites = false;
    markCategory();
    showPane('list');
    await loadRows();
  } catch (e) { setStatusText(e.message); }
}

// ---- Thread list --------------------------------------------------------------

async function loadNews() {
  if (!state.reader) return;
  try { state.news = await api('GET', '/api/reader/news'); }
  catch (e) { state.reader = false; }
}

// A category's list comes in pages: the first with every reload, the next
// ones as the list is scrolled to its end. The favourites come whole.
const PAGE_ROWS = 200;

async function loadRows() {
  if (state.category === null && !state.favourites) return;
  state.rows = [];
  state.total = 0;
  state.listGeneration = (state.listGeneration || 0) + 1;
  const generation = state.listGeneration;
  const favourites = state.favourites
    ? (await api('GET', '/api/reader/favourites')).map((f) => ({
        id: f.id, title: f.title, held: f.held, resCount: f.held, name: '', updated: '',
        created: '', mark: f.held > 0 ? 'held' : 'new' }))
    : null;
  await loadNews();
  if (generation !== state.listGeneration) return;
  markCategory();
  document.getElementById('thread-rows').replaceChildren();
  if (favourites) {
    state.rows = favourites;
    state.total = favourites.length;
    appendRows(favourites);
    return;
  }
  await loadMoreRows();
}

async function loadMoreRows() {
  const generation = state.listGeneration;
  if (state.category === null || state.favourites || state.loadingGeneration === generation) return;
  if (state.rows.length > 0 && state.rows.length >= state.total) return;
  state.loadingGeneration = generation;
  try {
    const page = await api('GET', '/api/threads?category=' + encodeURIComponent(state.category) +
                           '&offset=' + state.rows.length + '&limit=' + PAGE_ROWS);
    // A reload started meanwhile has its own first page.
    if (generation !== state.listGeneration) return;
    state.total = page.total;
    state.rows = state.rows.concat(page.rows);
    appendRows(page.rows);
    if (page.rows.length === 0) state.total = state.rows.length;
  } finally {
    if (state.loadingGeneration === generation) state.loadingGeneration = null;
  }
  if (generation === state.listGeneration) fillListPane();
}

// Asks for the next page while the rows do not yet fill the pane.
function fillListPane() {
  const pane = document.getElementById('thread-list-pane');
  if (pane.scrollHeight <= pane.clientHeight + 40 && state.rows.length < state.total)
    loadMoreRows().catch(() => {});
}

function appendRows(rows) {
  const body = document.getElementById('thread-rows');
  for (const row of rows) {
    const tr = document.createElement('tr');
    tr.dataset.id = row.id;
    const cells = [
      ['', 'icon ' + (row.mark === 'new' ? 'new' : 'held')],
      [row.title, ''], [String(row.held), 'num'], [String(row.resCount), 'num'],
      [row.name, ''], [row.updated, ''], [row.created, ''], [row.id, ''],
      [state.news.threads[row.id] > 0 ? String(state.news.threads[row.id]) : '', 'num new-count'],
    ];
    for (const [text, cls] of cells) {
      const td = document.createElement('td');
      td.textContent = text;
      if (cls) td.className = cls;
      if (text) td.title = text;
      tr.append(td);
    }
    if (row.id === state.threadId) tr.classList.add('selected');
    tr.addEventListener('click', () => {
      pickRow(row);
      // A phone has no double click: a tap shows the thread and fetches it.
      if (narrow.matches) {
        showPane('page');
        fetchThread(row.id, true);
      }
    });
    tr.addEventListener('dblclick', () => fetchThread(row.id));
    body.append(tr);
  }
  applyFilterBox();
}

// The filter box narrows the rows by title as one types.
function applyFilterBox() {
  const text = document.getElementById('filter-box').value.toLowerCase();
  for (const tr of document.querySelectorAll('#thread-rows tr')) {
    const title = tr.children[1] ? tr.children[1].textContent.toLowerCase() : '';
    tr.hidden = text !== '' && !title.includes(text);
  }
}

function pickRow(row) {
  state.threadId = row.id;
  for (const tr of document.querySelectorAll('#thread-rows tr'))
    tr.classList.toggle('selected', tr.dataset.id === row.id);
  document.title = 'pelmar - ' + decodeEntities(row.title);
  showThread(row.id);
}

// ---- Thread page ----------------------------------------------------------------

// The thread page carries stored texts as HTML text with only "<" and ">"
// escaped, so character references in them show as characters. The same
// reading is made here without ever parsing markup.
const NAMED = { lt: '<', gt: '>', amp: '&', quot: '"', apos: "'", nbsp: '\u00a0', copy: '\u00a9' };
function decodeEntities(text) {
  return text.replace(/&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[a-zA-Z]{2,8});/g, (whole, ref) => {
    if (ref[0] === '#') {
      const code = ref[1] === 'x' || ref[1] === 'X' ? parseInt(ref.slice(2), 16) : parseInt(ref.slice(1), 10);
      if (code > 0 && code <= 0x10ffff && !(code >= 0xd800 && code <= 0xdfff))
        return String.fromCodePoint(code);
      return '\ufffd';
    }
    return Object.prototype.hasOwnProperty.call(NAMED, ref) ? NAMED[ref] : whole;
  });
}

function span(cls, text) {
  const element = document.createElement('span');
  element.className = cls;
  element.textContent = text;
  return element;
}

function entry(post) {
  const dt = document.createElement('dt');
  dt.dataset.post = post.id;
  if (post.abone) dt.className = 'abone';
  dt.append(span('heading', decodeEntities(post.title)), ' ');
  const name = decodeEntities(post.name);
  if (post.mail !== '') {
    const link = document.createElement('a');
    link.href = 'mailto:' + decodeEntities(post.mail);
    link.textContent = name;
    dt.append(' ', link, ' ');
  } else {
    dt.append(' ', span('name', name), ' ');
  }
  dt.append(span('date', post.timeText), ' ', span('post-id', post.id));
  const dd = document.createElement('dd');
  // A carriage return is a line break on the page.
  post.body.split('\r').forEach((part, index) => {
    if (index > 0) dd.append(document.createElement('br'));
    dd.append(decodeEntities(part));
  });
  dd.append(document.createElement('br'), document.createElement('br'));
  return [dt, dd];
}

// The thread as the reader's rules show it (hidden posts never arrive), with
// the mark where the posts new since the last showing start; at is a post to
// bring into view instead.
async function showThread(id, at, keepMarks) {
  const page = document.getElementById('thread-page');
  state.shownThread = id;
  try {
    let thread = null;
    if (state.reader) {
      try {
        const options = [];
        if (state.showFiltered) options.push('all=1');
        if (keepMarks) options.push('keep=1');
        thread = await api('GET', '/api/reader/threads/' + id + (options.length ? '?' + options.join('&') : ''));
      } catch (e) { thread = null; }
    }
    if (thread === null) thread = await api('GET', '/api/threads/' + id);
    if (state.shownThread !== id) return;
    const list = document.createElement('dl');
    let mark = null;
    thread.responses.forEach((post, index) => {
      if (index === thread.newFrom && index > 0) {
        mark = document.createElement('div');
        mark.className = 'new-mark';
        mark.textContent = 'ここから新着';
        list.append(mark);
      }
      list.append(...entry(post));
    });
    page.replaceChildren(list);
    const target = at ? page.querySelector('dt[data-post="' + at + '"]') : mark;
    if (target) target.scrollIntoView();
    if (state.reader && thread.newFrom !== undefined) loadRows().catch(() => {});
  } catch (e) {
    if (state.shownThread !== id) return;
    const p = document.createElement('p');
    p.className = 'nodata';
    p.textContent = 'データが存在しません。';
    page.replaceChildren(p);
  }
}

// ---- Commands ---------------------------------------------------------------------

// quiet: the reason goes to the status line instead of a dialog (a tap
// while offline still shows what is held).
async function fetchThread(id, quiet) {
  if (!id) return;
  state.threadId = id;
  try { await api('POST', '/api/threads/' + id + '/fetch'); }
  catch (e) { if (quiet) setStatusText(e.message); else tell(e); }
}

async function refreshList() {
  try {
    if (state.favourites) await api('POST', '/api/reader/favourites-refresh');
    else await api('POST', '/api/refresh', state.category === null ? {} : { category: state.category });
    await loadRows();
  } catch (e) { tell(e); }
}

async function deleteThread() {
  if (!state.threadId) return;
  if (!confirm('選択されたスレッドを削除します。\nよろしいですか？')) return;
  try {
    await api('DELETE', '/api/threads/' + state.threadId + '?category=' + encodeURIComponent(state.category || ''));
    await loadRows();
    showThread(state.threadId);
  } catch (e) { tell(e); }
}

function formFields(form) {
  const fields = {};
  for (const element of form.elements)
    if (element.name && !element.disabled && element.tagName !== 'BUTTON') fields[element.name] = element.value;
  return fields;
}

function openCompose(dialogId, prepare, send) {
  const dialog = document.getElementById(dialogId);
  const form = dialog.querySelector('form');
  form.reset();
  form.querySelector('.error').textContent = '';
  prepare(form);
  dialog.onclose = null;
  form.onsubmit = async (event) => {
    if (event.submitter && event.submitter.value === 'cancel') return;
    event.preventDefault();
    const cannot = unsendableReason(form);
    if (cannot) {
      form.querySelector('.error').textContent = cannot;
      return;
    }
    for (const field of form.querySelectorAll('[data-limit]')) {
      if (sjisBytes(field.value) > Number(field.dataset.limit)) {
        form.querySelector('.error').textContent = field.dataset.limit + ' 文字以内で入力してください。';
        field.focus();
        return;
      }
    }
    try {
      await send(formFields(form));
      dialog.close();
    } catch (e) {
      form.querySelector('.error').textContent = e.message;
    }
  };
  dialog.showModal();
}

function newThread() {
  openCompose('thread-dialog', (form) => {
    const option = form.querySelector('select[name=category] option');
    option.textContent = state.category || '';
    option.value = state.category || '';
  }, async (fields) => {
    fields.category = state.category || '';
    await api('POST', '/api/threads', fields);
    await loadRows();
  });
}

async function newResponse() {
  const id = state.threadId;
  try {
    if (!id) throw new Error();
    await api('GET', '/api/threads/' + id);
  } catch (e) {
    alert('データの存在しないスレッドにはレスをつけることはできません。');
    return;
  }
  openCompose('response-dialog', () => {}, async (fields) => {
    await api('POST', '/api/threads/' + id + '/responses', fields);
    showThread(id);
  });
}

async function openEntryPoints() {
  const dialog = document.getElementById('entry-dialog');
  const form = dialog.querySelector('form');
  const list = form.elements.list;
  const edit = form.elements.entry;
  const fill = (entries, selected) => {
    list.replaceChildren();
    entries.forEach((text, index) => {
      const option = document.createElement('option');
      option.value = String(index);
      option.textContent = text;
      list.append(option);
    });
    if (selected !== undefined && selected >= 0 && selected < entries.length) list.selectedIndex = selected;
    return entries;
  };
  let entries = fill((await api('GET', '/api/entrypoints')).entries);
  edit.value = entries.length ? entries[0] : '';
  list.onchange = () => { if (list.selectedIndex >= 0) edit.value = entries[list.selectedIndex]; };
  list.ondblclick = () => { if (list.selectedIndex >= 0) { edit.value = entries[list.selectedIndex]; form.requestSubmit(form.querySelector('button[value=connect]')); } };
  for (const button of form.querySelectorAll('button[data-action]')) {
    button.onclick = async () => {
      const action = button.dataset.action;
      const index = list.selectedIndex;
      if (action !== 'add' && index < 0) return;
      const body = action === 'add' ? { entry: edit.value } : { index };
      const next = action === 'up' ? index - 1 : action === 'down' ? index + 1 : -1;
      try {
        entries = fill((await api('POST', '/api/entrypoints/' + action, body)).entries,
          Math.max(0, Math.min(next, entries.length - 1)));
        if (action === 'add' || action === 'remove') list.selectedIndex = -1;
      } catch (e) { tell(e); }
    };
  }
  form.onsubmit = async (event) => {
    if (!event.submitter || event.submitter.value !== 'connect') return;
    event.preventDefault();
    dialog.close();
    try { await api('POST', '/api/connect', { entry: edit.value }); } catch (e) { tell(e); }
    loadStatus();
  };
  dialog.showModal();
}

// ---- Status line ---------------------------------------------------------------------

function setStatusText(text) {
  document.getElementById('status-text').textContent = text;
}

async function loadStatus() {
  let status;
  try { status = await api('GET', '/api/status'); } catch (e) { return; }
  document.getElementById('status-open').textContent = status.reachable;
  const prefixes = ['N:', 'S:', 'W:', 'E:'];
  ['status-n', 'status-s', 'status-w', 'status-e'].forEach((id, i) => {
    const peer = status.peers[i];
    const last = peer ? peer.address.slice(peer.address.lastIndexOf('.') + 1) : '';
    document.getElementById(id).textContent = prefixes[i] + last;
  });
  document.getElementById('status-progress').value = status.fetch.running ? status.fetch.percent : 0;
  if (state.category === null) {
    state.category = status.category;
    markCategory();
    await loadRows();
  }
  return status;
}

// ---- Live updates ---------------------------------------------------------------------

// One event of the stream: "event:" names what changed, "data:" says more.
function onEvent(block) {
  let name = 'message';
  let data = '';
  for (const line of block.split('\n')) {
    if (line.startsWith('event:')) name = line.slice(6).trim();
    else if (line.startsWith('data:')) data += line.slice(5).trim();
  }
  if (name === 'threads') loadRows().catch(() => {});
  else if (name === 'status') loadStatus();
  else if (name === 'thread') {
    loadStatus();
    // Shown again because its files changed: what is new stays new until
    // the reader picks the thread.
    if (state.shownThread) showThread(state.shownThread, null, true);
  } else if (name === 'message') {
    try { setStatusText(JSON.parse(data).text); } catch (e) { /* not ours */ }
  }
}

// The event stream is read with fetch, so it carries the token in its
// header like every other call; it is opened again two seconds after it
// ends.
async function listen() {
  for (;;) {
    try {
      const reply = await fetch('/api/events', {
        headers: { Authorization: 'Bearer ' + token() }, credentials: 'omit', cache: 'no-store',
      });
      if (reply.status === 401) { showLogin(true); return; }
      if (reply.ok && reply.body) {
        const reader = reply.body.getReader();
        const decoder = new TextDecoder();
        let buffer = '';
        for (;;) {
          const { value, done } = await reader.read();
          if (done) break;
          buffer += decoder.decode(value, { stream: true }).replace(/\r\n/g, '\n');
          for (let end = buffer.indexOf('\n\n'); end >= 0; end = buffer.indexOf('\n\n')) {
            onEvent(buffer.slice(0, end));
            buffer = buffer.slice(end + 2);
          }
        }
      }
    } catch (e) { /* the node went away: try again */ }
    await new Promise((resolve) => setTimeout(resolve, 2000));
  }
}

// ---- Phone layout ----------------------------------------------------------------------

// Below 700 px the tree, the list and the page take the whole width one at
// a time, switched by the tabs.
const narrow = window.matchMedia('(max-width: 700px)');

function showPane(name) {
  document.body.dataset.pane = name;
  for (const tab of document.querySelectorAll('#tabs button'))
    tab.setAttribute('aria-selected', String(tab.dataset.pane === name));
}

// ---- Start ---------------------------------------------------------------------------

// ---- The reader's tools ------------------------------------------------------------------

async function setFavourite(add) {
  if (!state.threadId) return;
  try {
    await api(add ? 'POST' : 'DELETE', '/api/reader/favourites/' + state.threadId);
    await loadRows();
  } catch (e) { setStatusText(e.message); }
}

async function readAll() {
  try { await api('POST', '/api/reader/read-all'); await loadRows(); }
  catch (e) { setStatusText(e.message); }
}

async function openRules() {
  const dialog = document.getElementById('ng-dialog');
  const form = dialog.querySelector('form');
  const error = form.querySelector('.error');
  let rules;
  try { rules = await api('GET', '/api/reader/rules'); } catch (e) { setStatusText(e.message); return; }
  form.elements.text.value = rules.text;
  error.textContent = rules.errors.join('\n');
  const scope = form.elements.scope;
  scope.replaceChildren(new Option('すべてのカテゴリ', 'all'));
  if (state.category && !/\s/.test(state.category))
    scope.append(new Option('このカテゴリ', 'category=' + state.category));
  if (state.threadId) scope.append(new Option('このスレッド', 'thread=' + state.threadId));
  form.querySelector('[data-action="add"]').onclick = () => {
    const pattern = form.elements.pattern.value;
    if (pattern.trim() === '') return;
    let text = form.elements.text.value;
    if (text !== '' && !text.endsWith('\n')) text += '\n';
    form.elements.text.value = text + [form.elements.target.value, form.elements.kind.value,
      scope.value, form.elements.action.value, pattern].join(' ') + '\n';
    form.elements.pattern.value = '';
  };
  dialog.onclose = async () => {
    if (dialog.returnValue !== 'save') return;
    try {
      const saved = await api('POST', '/api/reader/rules', { text: form.elements.text.value });
      if (saved.errors.length) setStatusText(saved.errors.join(' / '));
      await loadRows();
      if (state.shownThread) await showThread(state.shownThread);
    } catch (e) { setStatusText(e.message); }
  };
  dialog.showModal();
}

async function search(text) {
  const query = text.trim();
  if (query === '') return;
  let hits;
  try { hits = await api('GET', '/api/reader/search?q=' + encodeURIComponent(query)); }
  catch (e) { setStatusText(e.message); return; }
  const dialog = document.getElementById('search-dialog');
  document.getElementById('search-title').textContent = '検索: ' + query + ' (' + hits.length + ' 件)';
  const list = document.getElementById('search-hits');
  list.replaceChildren();
  for (const hit of hits) {
    const li = document.createElement('li');
    li.dataset.thread = hit.thread;
    li.dataset.post = hit.post;
    const mark = document.createElement('mark');
    mark.textContent = hit.match;
    li.append(span('hit-title', hit.title), ' ', span('date', hit.timeText), ' ',
      hit.before, mark, hit.after);
    li.addEventListener('click', () => {
      dialog.close();
      state.threadId = hit.thread;
      document.title = 'pelmar - ' + decodeEntities(hit.title);
      showThread(hit.thread, hit.post);
    });
    list.append(li);
  }
  if (!dialog.open) dialog.showModal();
}

let running = false;

async function run() {
  try {
    await loadCategories();
  } catch (e) {
    if (!(e instanceof Unauthorized)) setStatusText(e.message);
    return;
  }
  hideLogin();
  await loadStatus();
  if (running) return;
  running = true;
  listen();
  setInterval(loadStatus, 10000);
}

function start() {
  for (const field of document.querySelectorAll('[data-limit]')) applyLimit(field);
  document.getElementById('cmd-connect').addEventListener('click', () => openEntryPoints().catch(tell));
  document.getElementById('cmd-new-thread').addEventListener('click', newThread);
  document.getElementById('cmd-new-response').addEventListener('click', newResponse);
  document.getElementById('cmd-refresh').addEventListener('click', refreshList);
  document.getElementById('cmd-fetch').addEventListener('click', () => fetchThread(state.threadId));
  document.getElementById('cmd-delete').addEventListener('click', deleteThread);
  document.getElementById('cmd-fav-add').addEventListener('click', () => setFavourite(true));
  document.getElementById('cmd-fav-remove').addEventListener('click', () => setFavourite(false));
  document.getElementById('cmd-read-all').addEventListener('click', readAll);
  document.getElementById('cmd-ng').addEventListener('click', openRules);
  document.getElementById('show-filtered').addEventListener('change', (event) => {
    state.showFiltered = event.target.checked;
    // Shown again because its files changed: what is new stays new until
    // the reader picks the thread.
    if (state.shownThread) showThread(state.shownThread, null, true);
  });
  document.getElementById('search-box').addEventListener('keydown', (event) => {
    if (event.key === 'Enter') search(event.target.value);
  });
  document.getElementById('filter-box').addEventListener('input', applyFilterBox);
  const listPane = document.getElementById('thread-list-pane');
  listPane.addEventListener('scroll', () => {
    if (listPane.scrollTop + listPane.clientHeight >= listPane.scrollHeight - 200)
      loadMoreRows().catch(() => {});
  });
  for (const tab of document.querySelectorAll('#tabs button'))
    tab.addEventListener('click', () => showPane(tab.dataset.pane));
  showPane('list');
  document.querySelector('#login form').addEventListener('submit', (event) => {
    event.preventDefault();
    const value = event.target.elements.token.value.trim();
    if (!value) return;
    saveToken(value);
    event.target.reset();
    run();
  });
  // The printed address pasted into a page already open changes only its
  // fragment.
  window.addEventListener('hashchange', () => {
    if (!location.hash.startsWith('#token=')) return;
    takeTokenFromAddress();
    run();
  });
  takeTokenFromAddress();
  if (token()) run();
  else showLogin(false);
}

document.addEventListener('DOMContentLoaded', start);
