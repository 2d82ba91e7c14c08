// The page's side of the fake navigator.hid (see fake_hid_worker.js): its chooser picks the
// first matching simulated device at once, as a user would in the browser's chooser.
'use strict';

(() => {
  const chooser = new BroadcastChannel('fake-hid-chooser');
  let asked = 0;
  const hid = new EventTarget();
  hid.getDevices = async () => [];
  hid.requestDevice = ({filters}) => new Promise((resolve) => {
    const id = ++asked;
    const listener = (message) => {
      if (message.data.reply === id) {
        chooser.removeEventListener('message', listener);
        resolve(message.data.devices);
      }
    };
    chooser.addEventListener('message', listener);
    chooser.postMessage({id, filters});
  });
  Object.defineProperty(navigator, 'hid', {value: hid, configurable: true});
})();
