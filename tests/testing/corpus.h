// The real movies the tests read, kept in the repository (tests/corpus/swf,
// named by the build as YEL_CORPUS_DIR). A missing or empty folder throws,
// so a test fails loudly instead of passing over no movies.
#pragma once

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace yel::testing {

inline std::filesystem::path CorpusDir() { return std::filesystem::path(YEL_CORPUS_DIR); }

// Every .swf file of the corpus, in name order.
inline std::vector<std::filesystem::path> CorpusMovies() {
  std::vector<std::filesystem::path> movies;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(CorpusDir(), ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".swf") movies.push_back(it->path());
  if (movies.empty())
    throw std::runtime_error("no corpus movies in " + CorpusDir().string() +
                             " (the real SWF files the tests read belong there)");
  std::sort(movies.begin(), movies.end());
  return movies;
}

// One corpus movie by file name.
inline std::string CorpusMovie(const std::string& name) {
  std::filesystem::path file = CorpusDir() / name;
  if (!std::filesystem::is_regular_file(file)) throw std::runtime_error("corpus movie missing: " + file.string());
  return file.string();
}

}  // namespace yel::testing
