// The worker's JavaScript half, put before the compiled core (emcc --pre-js): the inbox the
// core's loop reads, and the WebHID side of the transport (web/webhid_transport.cpp).
'use strict';

// Some browsers allow no WebAssembly in a worker (a hardened mode, a policy); the core cannot run
// here then, and the page says why instead of waiting for it.
if (typeof WebAssembly !== 'object') {
  postMessage({op: 'cannot-start'});
  throw new Error('this worker has no WebAssembly');
}

// The second error number on the web: the browser reports failures as exceptions with a name and
// no number, so each kind of failure gets a fixed code of its own (0x0000b0NN, "b" for browser,
// apart from every Windows and errno value). docs/architecture.md lists them.
const BROWSER_ERROR = Object.freeze({
  network: 0xb001,
  invalidState: 0xb002,
  notAllowed: 0xb003,
  notFound: 0xb004,
  badReport: 0xb005,
  timeout: 0xb006,
  unplugged: 0xb007,
  noHandle: 0xb008,
  noLocks: 0xb009,
  other: 0xb0ff,
});

// The code of a browser exception.
function browserErrorCode(error) {
  switch (error && error.name) {
    case 'NetworkError':
      return BROWSER_ERROR.network;
    case 'InvalidStateError':
      return BROWSER_ERROR.invalidState;
    case 'NotAllowedError':
    case 'SecurityError':
      return BROWSER_ERROR.notAllowed;
    case 'NotFoundError':
      return BROWSER_ERROR.notFound;
    case 'TypeError':
    case 'DataError':
      return BROWSER_ERROR.badReport;
    default:
      return BROWSER_ERROR.other;
  }
}

// WebHID reads wait for ever; the core's reads end after this long, as on the other systems.
const READ_TIMEOUT_MS = 10000;

const WorkerSide = (() => {
  // The numbers of InboxKind in web/worker_inbox.h.
  const KIND = Object.freeze({
    start: 0,
    update: 1,
    answer: 2,
    granted: 3,
    arrival: 4,
    removal: 5,
    other: 6,
  });
  const inbox = [];
  let wake = null;
  let current = {kind: KIND.other, text: '', number: 0};

  function deliver(kind, text = '', number = 0) {
    inbox.push({kind, text, number});
    if (wake) {
      const resume = wake;
      wake = null;
      resume();
    }
  }

  self.addEventListener('message', (event) => {
    const message = event.data || {};
    switch (message.type) {
      case 'start':
        // The worker needs WebHID of its own: the page's is no use to it.
        deliver(
            KIND.start, String(message.language || ''),
            message.webhid && 'hid' in navigator ? 1 : 0);
        break;
      case 'update':
        deliver(KIND.update);
        break;
      case 'answer':
        deliver(KIND.answer, '', message.answer | 0);
        break;
      case 'granted':
        deliver(KIND.granted);
        break;
      default:
        deliver(KIND.other);
    }
  });

  // One turn of the event loop without a timer's clamping.
  const port = new MessageChannel();
  const turns = [];
  port.port1.onmessage = () => turns.shift()();

  return {
    KIND,
    deliver,
    // Waits to `deadline` (performance.now()): a timer for all but the last 2 ms (it may fire up
    // to ~1 ms early, and a chain of timers is clamped to at least 4 ms each), then message-port
    // turns, which are not clamped.
    async waitUntil(deadline) {
      for (;;) {
        const left = deadline - performance.now();
        if (left <= 0) {
          return;
        }
        if (left > 2) {
          await new Promise((resolve) => setTimeout(resolve, Math.floor(left - 2)));
        } else {
          await new Promise((resolve) => {
            turns.push(resolve);
            port.port2.postMessage(0);
          });
        }
      }
    },
    async next() {
      while (inbox.length === 0) {
        await new Promise((resolve) => {
          wake = resolve;
        });
      }
      current = inbox.shift();
      return current.kind;
    },
    currentText: () => current.text,
    currentNumber: () => current.number,
  };
})();

const WorkerHid = (() => {
  const hid = self.navigator && self.navigator.hid;
  // WebHID has no device path: each device gets a name the first time it is seen, the same for
  // as long as the page lives, so that a removal names the device that was opened.
  const names = new WeakMap();
  let named = 0;
  let listed = [];
  const handles = new Map();
  let nextHandle = 1;
  const api = {};

  function hex4(value) {
    return value.toString(16).padStart(4, '0');
  }

  function nameOf(device) {
    let name = names.get(device);
    if (!name) {
      named += 1;
      name = `webhid-${hex4(device.vendorId)}-${hex4(device.productId)}-${named}`;
      names.set(device, name);
    }
    return name;
  }

  // The longest report of a kind in the device's collections, in bytes, plus the report-ID
  // byte, as the Windows HID capabilities count it (also when the device numbers no reports).
  function reportLength(device, output) {
    let longest = 0;
    const visit = (collection) => {
      for (const report of (output ? collection.outputReports : collection.inputReports) || []) {
        let bits = 0;
        for (const item of report.items || []) {
          bits += item.reportSize * item.reportCount;
        }
        longest = Math.max(longest, Math.ceil(bits / 8));
      }
      for (const child of collection.children || []) {
        visit(child);
      }
    };
    for (const collection of device.collections || []) {
      visit(collection);
    }
    return longest === 0 ? 0 : longest + 1;
  }

  if (hid) {
    hid.addEventListener('connect', (event) => {
      WorkerSide.deliver(WorkerSide.KIND.arrival, nameOf(event.device));
    });
    hid.addEventListener('disconnect', (event) => {
      // A read waiting on the unplugged device ends now rather than at its time-out.
      for (const entry of handles.values()) {
        if (entry.device === event.device) {
          entry.gone = true;
          if (entry.reader) {
            entry.reader(BROWSER_ERROR.unplugged);
          }
        }
      }
      WorkerSide.deliver(WorkerSide.KIND.removal, nameOf(event.device));
    });
  }

  api.list = async () => {
    if (!hid) {
      return -1;
    }
    try {
      listed = await hid.getDevices();
      return listed.length;
    } catch (error) {
      return -1;  // enumeration could not start
    }
  };

  api.open = async (index) => {
    const device = listed[index];
    if (!device) {
      return 0;
    }
    try {
      if (!device.opened) {
        await device.open();
      }
    } catch (error) {
      return 0;  // for example held by another program: the walk goes on
    }
    const entry = {device, reports: [], reader: null, gone: false};
    // WebHID gives the report ID apart from the data; the core reads it at byte 0.
    entry.listener = (event) => {
      const data = new Uint8Array(event.data.buffer, event.data.byteOffset, event.data.byteLength);
      const report = new Uint8Array(1 + data.length);
      report[0] = event.reportId;
      report.set(data, 1);
      if (entry.reader) {
        entry.reader(report);
      } else {
        entry.reports.push(report);
      }
    };
    device.addEventListener('inputreport', entry.listener);
    const handle = nextHandle++;
    handles.set(handle, entry);
    return handle;
  };

  api.vendorId = (handle) => (handles.has(handle) ? handles.get(handle).device.vendorId : -1);
  api.productId = (handle) => (handles.has(handle) ? handles.get(handle).device.productId : -1);
  api.path = (handle) => (handles.has(handle) ? nameOf(handles.get(handle).device) : '');
  api.reportLength = (handle, output) =>
      (handles.has(handle) ? reportLength(handles.get(handle).device, output) : 0);

  api.write = async (handle, report) => {
    const entry = handles.get(handle);
    if (!entry) {
      return BROWSER_ERROR.noHandle;
    }
    if (entry.gone) {
      return BROWSER_ERROR.unplugged;
    }
    try {
      // Byte 0 is the report ID, which WebHID takes apart from the data.
      await entry.device.sendReport(report[0], report.subarray(1));
      return 0;
    } catch (error) {
      return browserErrorCode(error);
    }
  };

  // The next input report (report ID at byte 0), or an error code; the timeout code when none
  // came within `timeoutMs` (0: only what has come already).
  api.read = (handle, timeoutMs) => {
    // Written out in the body: the build's minifier does not count a default parameter as a use.
    const limitMs = timeoutMs === undefined ? READ_TIMEOUT_MS : timeoutMs;
    const entry = handles.get(handle);
    if (!entry) {
      return Promise.resolve(BROWSER_ERROR.noHandle);
    }
    if (entry.reports.length > 0) {
      return Promise.resolve(entry.reports.shift());
    }
    if (entry.gone) {
      return Promise.resolve(BROWSER_ERROR.unplugged);
    }
    if (limitMs === 0) {
      return Promise.resolve(BROWSER_ERROR.timeout);
    }
    return new Promise((resolve) => {
      const timer = setTimeout(() => finish(BROWSER_ERROR.timeout), limitMs);
      function finish(result) {
        clearTimeout(timer);
        entry.reader = null;
        resolve(result);
      }
      entry.reader = finish;
    });
  };

  // Reads the next input report into the core's buffer (zero past the report); 0 or an error code.
  api.readInto = async (handle, buffer, length, timeoutMs) => {
    const report = await api.read(handle, timeoutMs);
    if (typeof report === 'number') {
      return report;
    }
    HEAPU8.fill(0, buffer, buffer + length);
    HEAPU8.set(report.subarray(0, length), buffer);
    return 0;
  };

  api.close = async (handle) => {
    const entry = handles.get(handle);
    if (!entry) {
      return;
    }
    handles.delete(handle);
    entry.device.removeEventListener('inputreport', entry.listener);
    if (entry.reader) {
      entry.reader(BROWSER_ERROR.noHandle);
    }
    const stillUsed = [...handles.values()].some((other) => other.device === entry.device);
    if (!stillUsed && entry.device.opened && !entry.gone) {
      try {
        await entry.device.close();
      } catch (error) {
        // Closing a device that is going away can fail; it is closed either way.
      }
    }
  };

  return api;
})();

// The claims on units (web/browser_unit_claims.cpp): one Web Lock per unit, held until released
// or until this worker ends. Locks are shared by every tab and worker of the origin.
const WorkerLocks = (() => {
  const held = new Map();
  let next = 1;
  return {
    // A number above 0 for a lock now held, 0 when another holds it, else the negated code.
    claim(name) {
      const locks = self.navigator && self.navigator.locks;
      if (!locks) {
        return Promise.resolve(-BROWSER_ERROR.noLocks);
      }
      return new Promise((resolve) => {
        const done = locks.request(name, {ifAvailable: true}, (lock) => {
          if (!lock) {
            resolve(0);
            return undefined;
          }
          const id = next++;
          // The lock is held for as long as this promise is pending.
          return new Promise((release) => {
            held.set(id, {release, done});
            resolve(id);
          });
        });
        done.catch((error) => resolve(-browserErrorCode(error)));
      });
    },
    // Resolves once the lock is given up: a claim made before that would find it still held.
    async release(id) {
      const lock = held.get(id);
      if (lock) {
        held.delete(id);
        lock.release();
        await lock.done.catch(() => {});
      }
    },
  };
})();
