// A stand-in for the worker's navigator.hid, for the browser tests and the demo: devices that
// answer by the simulated unit (sim-unit.js, the C++ model compiled to wasm). The test server
// loads it into the worker before the page's own script (importScripts), and the tests drive it
// through FakeHid: plug, unplug, faults, the request trace and the verdict on the bytes.
'use strict';

const FakeHid = (() => {
  const FAULT = {refuse: 0, failFlag: 1, writeFailure: 2, readFailure: 3, silent: 4, vanish: 5};
  const REPORT_BYTES = 64;  // both directions, without the report-ID byte
  let sim = null;
  // The module's wasm lies beside this script, not beside the worker's.
  const ready = SimUnitModule({locateFile: (file) => `fake/${file}`}).then((module) => {
    sim = module;
  });

  const hid = new EventTarget();
  const devices = [];
  let plugged = 0;

  function event(type, properties) {
    return Object.assign(new Event(type), properties);
  }

  class FakeDevice extends EventTarget {
    constructor(options) {
      super();
      this.vendorId = options.vendorId;
      this.productId = options.productId;
      this.productName = options.productId === 1 ? 'TORVEX' : 'MAVIRA';
      this.collections = [{
        usagePage: 0xff00,
        usage: 1,
        type: 1,
        children: [],
        inputReports: [{reportId: 2, items: [{reportSize: 8, reportCount: REPORT_BYTES}]}],
        outputReports: [{reportId: 1, items: [{reportSize: 8, reportCount: REPORT_BYTES}]}],
        featureReports: [],
      }];
      this.opened = false;
      this.granted = options.granted !== false;
      this.gone = false;
      this.name = `fake-${++plugged}`;
      // A bridge stands for a unit simulated in another tab (of another origin): what the page
      // sends waits in `sent`, and the unit's reports come in through FakeHid.deliver.
      this.bridge = options.bridge === true;
      this.sent = [];
      // Set by FakeHid.mirror: every report the unit sends, to whoever asked, as another opener
      // of the same device receives them.
      this.mirrored = null;
      this.unit = this.bridge ?
          null :
          sim._sim_create(
              options.unitMode || 0, options.escState ?? 3, options.escFirmwareVersion ?? 0x0302,
              options.escTypeId ?? 0x1422605a);
      for (const fault of this.bridge ? [] : options.faults || []) {
        sim._sim_add_fault(
            this.unit, fault.command, fault.occurrence ?? 1, FAULT[fault.kind], fault.code ?? 0,
            fault.flag ?? 0x02);
      }
      // When each request was written and its reply delivered, on the worker's clock.
      this.trace = [];
      this.problems = [];
    }

    async open() {
      if (this.gone) {
        throw new DOMException('Failed to open the device.', 'NotFoundError');
      }
      this.opened = true;
    }

    async close() {
      this.opened = false;
    }

    async sendReport(reportId, data) {
      if (!this.opened) {
        throw new DOMException('The device must be opened first.', 'InvalidStateError');
      }
      if (this.gone) {
        throw new DOMException('Failed to write the report.', 'NetworkError');
      }
      const bytes = new Uint8Array(
          data.buffer ?
              data.buffer.slice(data.byteOffset ?? 0, (data.byteOffset ?? 0) + data.byteLength) :
              data);
      // The browser sends a report only at the length the descriptor gives it.
      if (reportId !== 1 || bytes.length !== REPORT_BYTES) {
        this.problems.push(`report ${reportId} of ${bytes.length} bytes`);
        throw new DOMException('Failed to write the report.', 'NotAllowedError');
      }
      const report = new Uint8Array(1 + bytes.length);
      report[0] = reportId;
      report.set(bytes, 1);
      if (this.bridge) {
        this.sent.push([...report]);
        return;
      }
      const now = performance.now();
      const at = sim._malloc(report.length);
      sim.HEAPU8.set(report, at);
      const taken = sim._sim_write(this.unit, at, report.length, now);
      sim._free(at);
      if (!taken) {
        if (sim._sim_vanished(this.unit)) {
          FakeHid.unplug(this.name);
        }
        throw new DOMException('Failed to write the report.', 'NetworkError');
      }
      const entry = {written: now, replied: null};
      this.trace.push(entry);
      // The reply comes back as an input report right after the write, as over USB (not by a
      // timer: a chain of timers is clamped to 4 ms each).
      queueMicrotask(() => this.reply(entry));
    }

    reply(entry) {
      if (this.gone) {
        return;
      }
      const length = 1 + REPORT_BYTES;
      const at = sim._malloc(length);
      const now = performance.now();
      const outcome = sim._sim_read(this.unit, at, length, now);
      const report = sim.HEAPU8.slice(at, at + length);
      sim._free(at);
      if (outcome !== 0) {
        return;  // no reply: the reader's time-out has to end the wait
      }
      this.mirrored?.push([...report]);
      if (!this.opened) {
        return;
      }
      if (entry) {
        entry.replied = now;
      }
      this.receive(report);
    }

    receive(report) {
      const data = new DataView(new Uint8Array(report).buffer, 1);
      this.dispatchEvent(event('inputreport', {device: this, reportId: report[0], data}));
    }

    // A request from another opener of the same device: the unit answers it, and its reply
    // reaches this page too, as every opener of a HID device receives every input report.
    foreign(report) {
      const bytes = new Uint8Array(report);
      const at = sim._malloc(bytes.length);
      sim.HEAPU8.set(bytes, at);
      const taken = sim._sim_write(this.unit, at, bytes.length, performance.now());
      sim._free(at);
      if (taken) {
        this.reply(null);
      }
    }
  }

  hid.getDevices = async () => {
    await ready;
    return devices.filter((device) => device.granted && !device.gone);
  };
  // Workers have no chooser.
  hid.requestDevice = undefined;
  Object.defineProperty(self.navigator, 'hid', {value: hid, configurable: true});

  function find(name) {
    return devices.find((device) => device.name === name);
  }

  // The page's chooser (fake_hid_page.js) asks here: the first present device that matches a
  // filter and is not granted yet is granted, as if the user had picked it.
  const chooser = new BroadcastChannel('fake-hid-chooser');
  chooser.onmessage = (message) => {
    const filters = message.data.filters || [];
    const pick = devices.find(
        (device) => !device.gone && !device.granted &&
            filters.some(
                (f) => f.vendorId === device.vendorId && f.productId === device.productId));
    if (pick) {
      pick.granted = true;
    }
    chooser.postMessage({
      reply: message.data.id,
      devices: pick ? [{vendorId: pick.vendorId, productId: pick.productId}] : [],
    });
  };

  return {
    ready,
    // Plugs a device in; the browser announces it only if this origin may use it (and not
    // with announce: false, for a device that was there before the page).
    async plug(options = {}) {
      await ready;
      const device = new FakeDevice({vendorId: 0x1209, productId: 2, ...options});
      devices.push(device);
      if (device.granted && options.announce !== false) {
        hid.dispatchEvent(event('connect', {device}));
      }
      return device.name;
    },
    unplug(name) {
      const device = find(name);
      if (!device || device.gone) {
        return false;
      }
      device.gone = true;
      device.opened = false;
      if (device.granted) {
        hid.dispatchEvent(event('disconnect', {device}));
      }
      return true;
    },
    // Unplugs the device once it has taken `count` requests.
    unplugAfter(name, count) {
      const device = find(name);
      const check = () => {
        if (sim._sim_request_count(device.unit) >= count) {
          FakeHid.unplug(name);
        } else {
          setTimeout(check, 1);
        }
      };
      check();
    },
    // The same unit seen from two tabs of two origins (a Web Lock is seen by one origin alone):
    // the test relays between the unit's tab (mirror, takeMirrored, foreign) and a bridge in the
    // other tab (plugBridge, takeSent, deliver).
    plugBridge: (options = {}) => FakeHid.plug({...options, bridge: true}),
    mirror(name) {
      find(name).mirrored = [];
    },
    takeMirrored(name) {
      const device = find(name);
      return device.mirrored.splice(0);
    },
    foreign(name, report) {
      find(name).foreign(report);
    },
    takeSent: (name) => find(name).sent.splice(0),
    deliver(name, reports) {
      const device = find(name);
      if (device.opened && !device.gone) {
        reports.forEach((report) => device.receive(report));
      }
    },
    requestCount: (name) => sim._sim_request_count(find(name).unit),
    commands: (name) => {
      const unit = find(name).unit;
      const commands = [];
      for (let i = 0; i < sim._sim_request_count(unit); ++i) {
        commands.push(sim._sim_request_command(unit, i));
      }
      return commands;
    },
    trace: (name) => find(name).trace,
    problems: (name) => find(name).problems,
    judge: (name, updateRequests = -1) =>
        sim.UTF8ToString(sim._sim_judge(find(name).unit, updateRequests)),
    opened: (name) => find(name).opened,
  };
})();
