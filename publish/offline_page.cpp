// The page that plays an album from the disk: the player's scripts, its
// WebAssembly module and the movie inline.
#include "publish/offline_page.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "publish/output_targets.h"

namespace yel::publish {
namespace {

// Element ids of the data in the page.
constexpr const char* kModuleId = "yel-player-module";
constexpr const char* kMovieId = "yel-movie";

// Answers the player's fetch of its WebAssembly module from the page (a page
// opened from the disk may fetch nothing), and shows a message in place of
// the player when the browser cannot run it. Placeholders: MODULE_NAME, 'ID'.
constexpr const char* kFetchScript = R"js('use strict';
(() => {
  const moduleName = 'MODULE_NAME';
  const say = text => {
    const object = document.querySelector('ruffle-player') || document.getElementsByTagName('object')[0];
    const note = document.createElement('p');
    note.textContent = text;
    if (object) object.replaceWith(note);
  };
  // The bytes of a data element of this page.
  window.yelPageBytes = id => {
    const binary = atob(document.getElementById(id).textContent);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  };
  const browserFetch = window.fetch.bind(window);
  window.fetch = (input, init) => {
    const url = new URL(input instanceof Request ? input.url : String(input), document.baseURI);
    if (!url.pathname.endsWith('.wasm')) return browserFetch(input, init);
    const name = url.pathname.slice(url.pathname.lastIndexOf('/') + 1);
    if (name !== moduleName || typeof DecompressionStream !== 'function') {
      say('This browser is too old for the album\'s player: open the page in a current Chromium, Firefox or Safari.');
      return Promise.reject(new TypeError('the page holds no player module ' + name));
    }
    const body = new Blob([window.yelPageBytes('ID')]).stream().pipeThrough(new DecompressionStream('deflate'));
    return Promise.resolve(new Response(body, { status: 200, headers: { 'Content-Type': 'application/wasm' } }));
  };
})();
)js";

// Puts the player in place of the page's <object> and hands it the movie.
constexpr const char* kStartScript = R"js('use strict';
(() => {
  const object = document.getElementsByTagName('object')[0];
  const player = window.RufflePlayer.newest().createPlayer();
  player.id = object.id;
  player.style.display = 'inline-block';
  player.style.width = object.getAttribute('width') + 'px';
  player.style.height = object.getAttribute('height') + 'px';
  object.replaceWith(player);
  player.ruffle().load({ data: window.yelPageBytes('ID') });
})();
)js";

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
    text.replace(at, what.size(), with);
  return text;
}

// Text between <script> and </script> ends at the first "</script"; "<!--"
// and "<script" inside change how browsers find that end. Files holding any
// of them are refused rather than changed.
void CheckInlineScript(const std::string& file, const std::string& text) {
  const std::string lower = AsciiLower(text);
  for (const char* marker : {"</script", "<script", "<!--"})
    if (lower.find(marker) != std::string::npos)
      ThrowFileError(file, std::string("cannot be put inline in a page: it holds \"") + marker + "\"");
}

// --- the WebAssembly module's extensions

bool ReadLeb(const std::vector<std::uint8_t>& bytes, std::size_t& at, std::uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (at >= bytes.size()) return false;
    const std::uint8_t b = bytes[at++];
    value |= std::uint64_t(b & 0x7F) << shift;
    if (!(b & 0x80)) return true;
  }
  return false;
}

// The number of features a module's "target_features" section enables; -1
// when it is not a module or has no such section.
int EnabledFeatures(const std::vector<std::uint8_t>& bytes) {
  static const std::uint8_t kHeader[] = {0, 'a', 's', 'm', 1, 0, 0, 0};
  if (bytes.size() < sizeof kHeader || !std::equal(std::begin(kHeader), std::end(kHeader), bytes.begin())) return -1;
  std::size_t at = sizeof kHeader;
  while (at < bytes.size()) {
    const std::uint8_t id = bytes[at++];
    std::uint64_t size = 0;
    if (!ReadLeb(bytes, at, size) || size > bytes.size() - at) return -1;
    const std::size_t end = at + std::size_t(size);
    std::uint64_t nameSize = 0;
    std::size_t p = at;
    if (id == 0 && ReadLeb(bytes, p, nameSize) && nameSize <= end - p &&
        std::string(bytes.begin() + p, bytes.begin() + p + nameSize) == "target_features") {
      p += nameSize;
      std::uint64_t count = 0;
      if (!ReadLeb(bytes, p, count)) return -1;
      int enabled = 0;
      for (std::uint64_t i = 0; i < count && p < end; ++i) {
        const std::uint8_t prefix = bytes[p++];
        std::uint64_t length = 0;
        if (!ReadLeb(bytes, p, length) || length > end - p) return -1;
        p += length;
        if (prefix == '+') ++enabled;
      }
      return enabled;
    }
    at = end;
  }
  return -1;
}

// Names that stand in a page's script and URL as they are.
bool PlainName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
  });
}

// Base64 in lines of 1024 characters (CR LF), from 768 bytes each.
constexpr std::size_t kLineBytes = 768;

void AppendBase64Lines(std::string& out, const std::uint8_t* data, std::size_t size) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t line = 0; line < size; line += kLineBytes) {
    const std::size_t end = std::min(size, line + kLineBytes);
    for (std::size_t i = line; i < end; i += 3) {
      const std::uint32_t n = std::uint32_t(data[i]) << 16 | (i + 1 < end ? std::uint32_t(data[i + 1]) << 8 : 0) |
                              (i + 2 < end ? data[i + 2] : 0);
      out += kDigits[(n >> 18) & 63];
      out += kDigits[(n >> 12) & 63];
      out += i + 1 < end ? kDigits[(n >> 6) & 63] : '=';
      out += i + 2 < end ? kDigits[n & 63] : '=';
    }
    out += "\r\n";
  }
}

void Put(AtomicFileWriter& out, const std::string& text) { out.Write(text.data(), text.size()); }

// Browsers start a page's sound only after the user clicks it, and until
// then its audio context does not run. The player feeds a movie's streaming
// music to that context piece by piece, each piece when the one before has
// ended, and holds the movie's frames in step with the music: in a context
// that does not run, the album would stand still at its first frames. So
// until the context runs, the pieces "end" on time by the page's clock
// without being played (the album plays silently), and the context's clock
// keeps that time; the player's unmute button, or any click or key on the
// page, then starts the sound, and the pieces after it play.
constexpr const char* kQuietAudioScript = R"js('use strict';
(() => {
  const RealContext = window.AudioContext;
  if (!RealContext) return;
  const waiting = [];
  const resumeAll = () => waiting.forEach(context => context.resume());
  for (const type of ['click', 'keydown', 'touchend']) document.addEventListener(type, resumeAll, true);
  const QuietContext = function (options) {
    const real = new RealContext(options);
    if (real.state === 'running') return real;
    waiting.push(real);
    const created = performance.now();
    let offset = null;  // page time less context time, once the context runs
    const now = () => {
      if (real.state !== 'running') return offset === null ? (performance.now() - created) / 1000 : offset + real.currentTime;
      if (offset === null) offset = (performance.now() - created) / 1000 - real.currentTime;
      return real.currentTime + offset;
    };
    const createBufferSource = () => {
      const node = real.createBufferSource();
      const start = node.start.bind(node);
      node.start = (when = 0, ...rest) => {
        if (real.state === 'running' && offset !== null) return start(Math.max(0, when - offset), ...rest);
        const seconds = Math.max(0, when - now()) + (node.buffer ? node.buffer.duration : 0);
        setTimeout(() => { if (typeof node.onended === 'function') node.onended(new Event('ended')); }, seconds * 1000);
      };
      return node;
    };
    return new Proxy(real, {
      get(target, key) {
        if (key === 'currentTime') return now();
        if (key === 'createBufferSource') return createBufferSource;
        const value = Reflect.get(target, key, target);
        return typeof value === 'function' ? value.bind(target) : value;
      },
      set(target, key, value) { return Reflect.set(target, key, value, target); },
    });
  };
  QuietContext.prototype = RealContext.prototype;
  window.AudioContext = QuietContext;
})();
)js";

}  // namespace

std::string QuietAudioScript() { return kQuietAudioScript; }

std::string RufflePlayerConfig(bool withMusic, bool offline) {
  std::string config = std::string("{autoplay: \"on\", unmuteOverlay: \"") + (withMusic ? "visible" : "hidden") +
                       "\", splashScreen: false, warnOnUnsupportedContent: false, showSwfDownload: false, "
                       "letterbox: \"on\"";
  if (offline) config += ", polyfills: false, publicPath: \"\"";
  return config + "}";
}

namespace {

// The player's scripts in the order the page runs them: the pieces it loads
// on demand, then the player. The module chosen is returned in module.
std::vector<std::string> OfflinePlayerScripts(const std::string& playerFolder, std::string& module) {
  std::vector<std::string> scripts;
  int chosenFeatures = -2;
  for (const std::string& name : RufflePlayerFiles(playerFolder)) {
    if (ExtensionOf(name) == ".js" && name != "ruffle.js") scripts.push_back(name);
    if (ExtensionOf(name) != ".wasm") continue;
    const int features = EnabledFeatures(ReadFileBytes(playerFolder + "/" + name));
    if (features > chosenFeatures) module = name, chosenFeatures = features;
  }
  if (module.empty()) ThrowFileError(playerFolder, "the Ruffle player's WebAssembly module (.wasm) is not there");
  if (!PlainName(module))
    ThrowFileError(playerFolder + "/" + module, "the player module's name cannot stand in a page");
  scripts.push_back("ruffle.js");
  return scripts;
}

}  // namespace

std::string CheckOfflinePlayer(const std::string& playerFolder) {
  std::string module;
  for (const std::string& name : OfflinePlayerScripts(playerFolder, module))
    CheckInlineScript(playerFolder + "/" + name, ReadFileText(playerFolder + "/" + name));
  return module;
}

void WriteOfflinePage(const std::string& pageFile, const std::string& plainPage, bool withMusic,
                      const std::string& playerFolder, const std::string& movieFile) {
  const std::string headEnd = "  </head>\r\n", bodyEnd = "  </body>\r\n";
  const std::size_t headAt = plainPage.find(headEnd), bodyAt = plainPage.find(bodyEnd);
  if (headAt == std::string::npos || bodyAt == std::string::npos || bodyAt < headAt)
    throw Error("the page to be made playable has no head and body");

  // Everything is read and checked before the page is begun.
  const std::string folder = playerFolder + "/";
  std::string module;
  const std::vector<std::string> scripts = OfflinePlayerScripts(playerFolder, module);
  std::vector<std::string> texts;
  for (const std::string& name : scripts) {
    texts.push_back(ReadFileText(folder + name));
    CheckInlineScript(folder + name, texts.back());
  }
  const std::vector<std::uint8_t> wasm = ReadFileBytes(folder + module);
  uLongf packedSize = compressBound(uLong(wasm.size()));
  std::vector<std::uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, wasm.data(), uLong(wasm.size()), 6) != Z_OK)
    ThrowFileError(folder + module, "cannot compress the player module");
  packed.resize(packedSize);
  FileReader movie(movieFile);

  AtomicFileWriter out(pageFile);
  Put(out, plainPage.substr(0, headAt));
  if (withMusic) Put(out, "    <script>\r\n" + QuietAudioScript() + "    </script>\r\n");
  Put(out, "    <script>window.RufflePlayer = {config: " + RufflePlayerConfig(withMusic, true) + "};</script>\r\n");
  Put(out, "    <script>\r\n" +
               Replaced(Replaced(kFetchScript, "MODULE_NAME", module), "'ID'", std::string("'") + kModuleId + "'") +
               "    </script>\r\n");
  for (const std::string& text : texts) Put(out, "    <script>\r\n" + text + "\r\n    </script>\r\n");
  Put(out, plainPage.substr(headAt, bodyAt - headAt));

  std::string data = std::string("    <script type=\"application/octet-stream\" id=\"") + kModuleId + "\">\r\n";
  AppendBase64Lines(data, packed.data(), packed.size());
  data += std::string("    </script>\r\n    <script type=\"application/octet-stream\" id=\"") + kMovieId + "\">\r\n";
  Put(out, data);
  std::vector<std::uint8_t> piece(kLineBytes * 1024);
  for (std::size_t n; (n = movie.Read(piece.data(), piece.size())) > 0;) {
    data.clear();
    AppendBase64Lines(data, piece.data(), n);
    Put(out, data);
  }
  Put(out, "    </script>\r\n    <script>\r\n" + Replaced(kStartScript, "'ID'", std::string("'") + kMovieId + "'") +
               "    </script>\r\n");
  Put(out, plainPage.substr(bodyAt));
  out.Commit();
}

}  // namespace yel::publish
