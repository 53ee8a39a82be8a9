// The HTML page that plays an album opened from the disk (file:), with no
// web server: browsers let such a page fetch nothing, so the page carries
// the Ruffle player's scripts, its WebAssembly module (deflated) and the
// movie inline (base64), and answers the player's fetch of its module from
// memory. The same page plays when it is served.
#pragma once

#include <string>

namespace yel::publish {

// The Ruffle player's settings in every page we write, as a JavaScript
// object literal: the movie starts at once (browsers hold sound back until
// the user clicks, so an album with music starts muted under Ruffle's unmute
// button), with no splash screen or warnings over it. A served page lets
// the player take over its <object> and load the movie by its address; the
// offline page creates the player itself and hands it the movie's bytes.
std::string RufflePlayerConfig(bool withMusic, bool offline);

// The script (lines ending in LF) that lets an album with music play
// silently until the page may start sound, as browsers allow after a click:
// the player's audio context is stood in for until then. Pages with music
// run it before the player.
std::string QuietAudioScript();

// Checks that the player's folder holds what the offline page carries, and
// returns the WebAssembly module it carries: of the player's modules, the
// one built with the most WebAssembly extensions (its "target_features"
// section), which current browsers run; the first by name when no module
// says. Throws yel::Error naming the file at fault: no ruffle.js or no
// module, a script that cannot stand inline in a page.
std::string CheckOfflinePlayer(const std::string& playerFolder);

// Writes pageFile, through a temporary file renamed into place: plainPage
// (the lines of the page that embeds the movie for a Flash plug-in, CR LF)
// with the player's settings and scripts added to its head, and before the
// end of its body the player's module, the movie (read from movieFile in
// pieces, so a large movie takes little memory) and a script that puts the
// player in place of the page's <object> and hands it the movie.
// Throws yel::Error naming the file at fault (as CheckOfflinePlayer, or a
// movie that cannot be read); pageFile is then untouched.
void WriteOfflinePage(const std::string& pageFile, const std::string& plainPage, bool withMusic,
                      const std::string& playerFolder, const std::string& movieFile);

}  // namespace yel::publish
