// The page renders what the worker (the core, web/worker_main.cpp) tells it and passes the
// user's presses and the browser's language back. It keeps no logic of its own: the core's
// dialog logic decides every text, button state and question.
'use strict';

(() => {
  const ROWS = ['unit', 'bootloader', 'esc'];
  // MessageIcon, MessageButtons and MessageAnswer of dialog/dialog_view.h, in their order.
  // Plain letters in a coloured disc: every system has a font for them.
  const ICONS = [['i', 'information'], ['!', 'warning'], ['\u00d7', 'error']];
  const ANSWER = {ok: 0, cancel: 1, yes: 2, no: 3};
  const BUTTONS = [['ok'], ['ok', 'cancel'], ['yes', 'no']];

  const byId = (id) => document.getElementById(id);
  const webhid = 'hid' in navigator;
  const texts = {ok: 'OK'};
  let filter = null;
  let busy = false;
  let updateEnabled = false;

  // What the page says by itself when its worker cannot start (no texts come from the worker
  // then): in the browser's language where the catalogue has it, else in its first language.
  function cannotStart(name) {
    const text = PAGE_TEXTS[name];
    const language = (navigator.language || '').split('-')[0].toLowerCase();
    byId('hint').textContent = lines(text[language] || Object.values(text)[0]);
    document.body.dataset.state = 'failed';
  }

  // A page opened as a file may not start a worker (Chrome refuses it outright, others load
  // nothing): the page would stay blank for ever.
  if (location.protocol === 'file:') {
    cannotStart('IDS_WEB_OPENED_AS_FILE');
    return;
  }
  let worker;
  try {
    worker = new Worker('updater-worker.js');
  } catch (error) {
    cannotStart('IDS_WEB_WORKER_FAILED');
    return;
  }
  // A worker that fails before it is ready (no WebAssembly there, its script refused) never
  // says anything else.
  const startFailed = () => {
    if (document.body.dataset.state === 'loading') {
      cannotStart('IDS_WEB_WORKER_FAILED');
    }
  };
  worker.addEventListener('error', startFailed);

  // The update records (one JSON line each, from the core) live in the page's own storage, the
  // only storage of the origin that outlives the worker, bounded as the other front ends' files:
  // past 1 MiB the oldest lines go.
  const RECORDS_KEY = 'pelora-update.records';
  const RECORDS_LIMIT = 1024 * 1024;

  function storedRecords() {
    try {
      return localStorage.getItem(RECORDS_KEY) || '';
    } catch (error) {
      return '';  // storage disabled: only this page's records are offered
    }
  }

  function keepRecord(line) {
    let all = storedRecords() + line;
    while (all.length > RECORDS_LIMIT) {
      const cut = all.indexOf('\n');
      all = cut < 0 ? '' : all.slice(cut + 1);
    }
    try {
      localStorage.setItem(RECORDS_KEY, all);
    } catch (error) {
      // Full or disabled: the record cannot be kept, which must not stop anything else.
    }
    // After an update, its report and the ones before it can be saved as a file.
    const link = byId('save-report');
    if (link.href) {
      URL.revokeObjectURL(link.href);
    }
    link.href = URL.createObjectURL(new Blob([all || line], {type: 'application/x-ndjson'}));
    link.hidden = false;
  }

  function lines(text) {
    return text.replace(/\r\n/g, '\n');
  }

  function refreshControls() {
    byId('update').disabled = busy || !updateEnabled;
    byId('connect').disabled = busy || !webhid || filter === null;
  }

  function setPageText(key, text) {
    texts[key] = text;
    switch (key) {
      case 'lang':
        document.documentElement.lang = text;
        break;
      case 'title':
        byId('title').textContent = text;
        document.title = text;
        break;
      case 'versions':
        byId('versions-caption').textContent = text;
        break;
      case 'hint':
        byId('hint-caption').textContent = text;
        break;
      case 'connect':
      case 'update':
      case 'save-report':
        byId(key).textContent = text;
        break;
      case 'label-unit':
      case 'label-bootloader':
      case 'label-esc':
        byId(key).textContent = text;
        break;
      default:
        break;
    }
  }

  function showBox(message) {
    const box = byId('box');
    const [glyph, kind] = ICONS[message.icon] || ICONS[0];
    byId('box-icon').textContent = glyph;
    byId('box-icon').className = kind;
    byId('box-caption').textContent = message.caption;
    byId('box-text').textContent = lines(message.text);
    const buttons = byId('box-buttons');
    buttons.replaceChildren();
    for (const [index, name] of (BUTTONS[message.buttons] || BUTTONS[0]).entries()) {
      const button = document.createElement('button');
      button.type = 'button';
      button.dataset.answer = name;
      button.textContent = texts[name] || name;
      button.autofocus = index === 0;  // the first button is the default, as in the dialog
      button.addEventListener('click', () => {
        box.close();
        worker.postMessage({type: 'answer', answer: ANSWER[name]});
      });
      buttons.append(button);
    }
    box.showModal();
  }

  const handlers = {
    'page-text': (m) => setPageText(m.key, m.text),
    'filter': (m) => {
      filter = m.productIds.map((productId) => ({vendorId: m.vendorId, productId}));
      refreshControls();
    },
    'versions': (m) => {
      if (m.unitLabel !== null) {
        byId('label-unit').textContent = m.unitLabel;
      }
      ROWS.forEach((row, index) => {
        byId(`version-${row}`).textContent = m.values[index];
        byId(`label-${row}`).classList.toggle('disabled', !m.enabled);
        byId(`version-${row}`).classList.toggle('disabled', !m.enabled);
      });
    },
    'update-enabled': (m) => {
      updateEnabled = m.number !== 0;
      refreshControls();
    },
    'hint': (m) => {
      byId('hint').textContent = lines(m.text);
    },
    'hint-append': (m) => {
      byId('hint').textContent += lines(m.text);
    },
    'message': showBox,
    'progress-open': (m) => {
      byId('progress-title').textContent = m.text;
      byId('progress-bar').value = 0;
      byId('progress').hidden = false;
    },
    'progress': (m) => {
      byId('progress-bar').value = m.number;
    },
    'progress-close': () => {
      byId('progress').hidden = true;
    },
    'busy': (m) => {
      busy = m.number !== 0;
      document.body.dataset.busy = busy ? 'yes' : 'no';
      refreshControls();
    },
    'record': (m) => keepRecord(m.text),
    'ready': () => {
      document.body.dataset.state = 'ready';
    },
    'cannot-start': startFailed,
  };

  worker.addEventListener('message', (event) => {
    const handler = handlers[event.data && event.data.op];
    if (handler) {
      handler(event.data);
    }
  });

  // The box stays until one of its buttons answers it, as a message box does.
  byId('box').addEventListener('cancel', (event) => event.preventDefault());

  byId('update').addEventListener('click', () => {
    // Locked at once, before the worker says so: a second press must not queue a second update.
    busy = true;
    refreshControls();
    worker.postMessage({type: 'update'});
  });

  byId('connect').addEventListener('click', async () => {
    // Only the page may ask (it needs the user's click); the worker then finds the unit itself.
    let granted = [];
    try {
      granted = await navigator.hid.requestDevice({filters: filter});
    } catch (error) {
      granted = [];
    }
    if (granted.length > 0) {
      worker.postMessage({type: 'granted'});
    }
  });

  // Leaving the page during an update would stop it half-way and leave the ESC without firmware.
  window.addEventListener('beforeunload', (event) => {
    if (busy) {
      event.preventDefault();
      event.returnValue = '';
    }
  });

  worker.postMessage({type: 'start', language: navigator.language || '', webhid});
})();
