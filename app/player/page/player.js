// Page side of the player control. The control calls the window.yel*
// functions with runJavaScript; the page answers through the "bridge"
// object of the web channel (pageReady, movieLoaded, loadFailed, fsCommand,
// trace). Movies are fetched by serial number from the control's own URL
// scheme ("movie/<serial>"), so their bytes never pass through a script.
'use strict';
let bridge = null;
let player = null;
let current = 0;  // serial of the movie being loaded or shown; 0: none
let settled = true;
const loadTimeoutMs = 20000;

function removePlayer() {
  const stage = document.getElementById('stage');
  if (player) player.remove();
  player = null;
  stage.innerHTML = '';
}

function fail(serial, message) {
  if (serial !== current || settled) return;
  settled = true;
  removePlayer();
  bridge.loadFailed(serial, message);
}

function loaded(serial) {
  if (serial !== current || settled) return;
  settled = true;
  bridge.movieLoaded(serial);
}

window.yelLoad = serial => {
  removePlayer();
  current = serial;
  settled = false;
  const request = new XMLHttpRequest();
  request.open('GET', 'movie/' + serial);
  request.responseType = 'arraybuffer';
  request.onerror = () => fail(serial, 'the movie could not be handed to the player');
  request.onload = async () => {
    if (serial !== current) return;
    player = window.RufflePlayer.newest().createPlayer();
    player.onFSCommand = (command, args) => {
      bridge.fsCommand(String(command), args === undefined || args === null ? '' : String(args));
      return true;
    };
    player.addEventListener('loadedmetadata', () => loaded(serial));
    document.getElementById('stage').appendChild(player);
    setTimeout(() => fail(serial, 'the player did not start the movie within ' + loadTimeoutMs / 1000 + ' s'),
               loadTimeoutMs);
    try {
      await player.ruffle().load({ data: request.response });
      if (serial === current && player) player.ruffle().traceObserver = text => bridge.trace(String(text));
    } catch (error) {
      fail(serial, String(error && error.message ? error.message : error));
    }
  };
  request.send();
};

window.yelUnload = () => {
  current = 0;
  settled = true;
  removePlayer();
};

// Answers once the page has drawn twice more, so that what the movie shows
// now is on the screen.
window.yelAfterDrawing = serial =>
  requestAnimationFrame(() => requestAnimationFrame(() => bridge.drawn(serial)));

window.yelPlay = () => { if (player) player.play(); };
// Ruffle shows a play button over a paused movie; a stopped movie shows
// its frame instead.
window.yelStop = () => {
  if (!player) return;
  player.pause();
  const button = player.shadowRoot && player.shadowRoot.getElementById('play-button');
  if (button) button.style.display = 'none';
};

// Calls a function the movie registered with ExternalInterface.addCallback.
// Answers { ok, value } or { ok: false, missing } or { ok: false, error }.
window.yelCall = (name, args) => {
  if (!player || settled === false) return { ok: false, missing: true };
  if (typeof player[name] !== 'function') return { ok: false, missing: true };
  try {
    const value = player[name](...args);
    return { ok: true, value: value === undefined ? null : value };
  } catch (error) {
    return { ok: false, error: String(error && error.message ? error.message : error) };
  }
};

// A movie that cannot be run makes Ruffle fail outside the load promise.
window.addEventListener('error', event => fail(current, String(event.message || 'the player failed')));
window.addEventListener('unhandledrejection', event =>
  fail(current, String(event.reason && event.reason.message ? event.reason.message : event.reason)));

new QWebChannel(qt.webChannelTransport, channel => {
  bridge = channel.objects.bridge;
  bridge.pageReady();
});
