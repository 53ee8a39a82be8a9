// The initial values of a movie's root variables, read from its first
// frame without playing it: the theme editor's "hidden player" that reads a
// source movie's stage variables (Left, Top, Width, Height of a photo
// frame).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace yel::publish {

// Follows the DoAction scripts of the main timeline's first frame and
// collects every root variable assigned a constant (var x = 1; x = "a";
// through SetVariable or DefineLocal, also with constant-pool names and
// arithmetic on constants) as Flash would show it as text ("10", "-2.5",
// "true"). The walk stops at the first jump, branch, function definition or
// with/try block, after which what runs is not known without playing.
// Throws an error naming `name` when the bytes are not a readable movie.
std::map<std::string, std::string> ReadFrameVariables(const std::vector<std::uint8_t>& bytes, const std::string& name);

}  // namespace yel::publish
