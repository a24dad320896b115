// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The inbox page. It polls /api/emails and changes the page in place, so a
// reader keeps their selection and scroll position while messages arrive.
// Message data reaches the page only as text (textContent) or as the srcdoc of
// a frame sandboxed without allow-scripts, so nothing in a message can run.

const pollMs = 2000;
const codeSubject = 'Nimbrel Verification Code';

const element = (id) => document.getElementById(id);

// An inbox started with a key wants it on every /api request. The address
// scripts/run prints carries it after '#', which the browser never sends; it
// is kept for this tab and taken out of the address bar.
const keyInAddress = new URLSearchParams(location.hash.slice(1)).get('key');
if (keyInAddress) {
  sessionStorage.setItem('inbox-key', keyInAddress);
  history.replaceState(null, '', location.pathname);
}
const apiKey = sessionStorage.getItem('inbox-key');
const api = (method) => ({
  method,
  cache: 'no-store',
  headers: apiKey ? { Authorization: `Bearer ${apiKey}` } : {},
});
let messages = [];
let selectedId = null;
let shownSignature = null;

// Text of an HTML body for the preview and the code. Tags are dropped by
// pattern rather than parsed into a document, so nothing in a body can act.
const namedEntities = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'", nbsp: ' ' };

function decodeEntity(whole, name) {
  if (name[0] !== '#') return namedEntities[name.toLowerCase()] ?? whole;
  const hex = name[1] === 'x' || name[1] === 'X';
  const code = parseInt(name.slice(hex ? 2 : 1), hex ? 16 : 10);
  return code <= 0x10ffff ? String.fromCodePoint(code) : whole;
}

function bodyText(message) {
  if (message.text) return message.text;
  return (message.html || '')
    .replace(/<(script|style)\b[\s\S]*?<\/\1\s*>/gi, ' ')
    .replace(/<[^>]*>/g, ' ')
    .replace(/&(#x[0-9a-f]+|#[0-9]+|[a-z]+);/gi, decodeEntity);
}

function oneLine(text) {
  return text.replace(/\s+/g, ' ').trim();
}

function recipients(message) {
  return (message.to || []).join(', ');
}

function localTime(iso) {
  const date = new Date(iso);
  return Number.isNaN(date.getTime()) ? iso : date.toLocaleString();
}

function filtered() {
  const wanted = element('filter').value.trim().toLowerCase();
  if (!wanted) return messages;
  return messages.filter((m) => recipients(m).toLowerCase().includes(wanted));
}

function showLatestCode(shown) {
  const newest = shown.find((m) => m.subject === codeSubject);
  const code = newest && oneLine(bodyText(newest)).match(/\b\d{6}\b/);
  element('latest-code').textContent = code ? code[0] : '——————';
  element('latest-code-meta').textContent = code
    ? `to ${recipients(newest)} at ${localTime(newest.receivedAt)}`
    : 'No code received yet';
}

function row(message) {
  const item = document.createElement('li');
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'row';
  button.dataset.id = message.id;
  const part = (tag, className, text) => {
    const node = document.createElement(tag);
    node.className = className;
    node.textContent = text;
    button.append(node);
    return node;
  };
  part('span', 'subject', message.subject || '(no subject)');
  part('time', 'time', localTime(message.receivedAt)).dateTime = message.receivedAt;
  part('span', 'to', `To: ${recipients(message)}`);
  part('span', 'preview', oneLine(bodyText(message)).slice(0, 160));
  button.addEventListener('click', () => select(message.id));
  item.append(button);
  return item;
}

function showList(shown) {
  const signature = shown.map((m) => m.id).join(' ');
  if (signature !== shownSignature) {
    shownSignature = signature;
    element('list').replaceChildren(...shown.map(row));
    element('list-empty').hidden = shown.length > 0;
  }
  for (const button of element('list').querySelectorAll('.row'))
    button.setAttribute('aria-current', String(button.dataset.id === selectedId));
}

function showMessage() {
  const message = messages.find((m) => m.id === selectedId);
  element('message').hidden = !message;
  element('reader-empty').hidden = Boolean(message);
  const frame = element('message-body');
  if (!message) {
    frame.removeAttribute('srcdoc');
    frame.dataset.id = '';
    return;
  }
  if (frame.dataset.id === message.id) return; // already shown: keep the reader's place
  frame.dataset.id = message.id;
  element('message-subject').textContent = message.subject || '(no subject)';
  element('message-from').textContent = message.from;
  element('message-to').textContent = recipients(message);
  element('message-time').textContent = localTime(message.receivedAt);
  element('message-time').dateTime = message.receivedAt;
  frame.srcdoc = message.html || '';
  element('message-text').textContent = message.text || '';
  element('message-text-box').hidden = !message.text;
}

function render() {
  const shown = filtered();
  if (!shown.some((m) => m.id === selectedId)) selectedId = shown.length ? shown[0].id : null;
  showLatestCode(shown);
  showList(shown);
  showMessage();
}

function select(id) {
  selectedId = id;
  render();
}

function setStatus(text, offline) {
  element('status').textContent = text;
  element('status').classList.toggle('offline', offline);
}

async function refresh() {
  try {
    const response = await fetch('/api/emails', api('GET'));
    if (response.status === 401 || response.status === 403) {
      setStatus('This inbox wants its key: open the address scripts/run printed, '
        + 'which ends in #key=…', true);
      return;
    }
    if (!response.ok) throw new Error(`HTTP ${response.status}`);
    messages = await response.json();
    const count = messages.length === 1 ? '1 message' : `${messages.length} messages`;
    setStatus(`${count} · updated ${new Date().toLocaleTimeString()}`, false);
    render();
  } catch (error) {
    setStatus(`The inbox does not answer (${error.message}); trying again.`, true);
  }
}

async function poll() {
  await refresh();
  setTimeout(poll, pollMs);
}

element('filter').addEventListener('input', render);
element('clear').addEventListener('click', async () => {
  await fetch('/api/emails', api('DELETE'));
  await refresh();
});
poll();
