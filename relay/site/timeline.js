// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Appends a session's new timeline events every 5 s and announces them once,
// politely, so a screen reader is not interrupted or sent back to the top.
'use strict';
(() => {
  const body = document.getElementById('events');
  const announcer = document.getElementById('announcer');
  const cell = (row, text, className) => {
    const td = row.insertCell();
    td.textContent = text;
    if (className) td.className = className;
  };
  const poll = async () => {
    try {
      const answer = await fetch(`${body.dataset.source}?after=${body.dataset.after}`,
                                 { credentials: 'same-origin', cache: 'no-store' });
      if (!answer.ok) return;
      const events = await answer.json();
      for (const event of events) {
        const row = body.insertRow();
        cell(row, event.time);
        cell(row, event.event);
        cell(row, event.detail, 'detail');
        body.dataset.after = event.id;
      }
      if (events.length > 0)
        announcer.textContent = events.length === 1 ? `New event: ${events[0].event}`
                                                    : `${events.length} new events`;
    } finally {
      setTimeout(poll, 5000);
    }
  };
  setTimeout(poll, 5000);
})();
