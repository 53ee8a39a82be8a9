// yel copy: reads a movie into tag objects and writes it back, compressed or
// uncompressed on request. Every tag goes through the reader and the writer,
// so a copy that comes out the same is the everyday proof that they lose
// nothing. A movie with a tag that cannot be read is refused: a copy would
// carry the damage on silently.
#include <functional>
#include <ostream>

#include "base/error.h"
#include "base/files.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kCopyHelp =
    "Usage: yel copy IN.swf OUT.swf [--compress | --uncompress]\n"
    "\n"
    "Reads the movie IN.swf tag by tag and writes it to OUT.swf. The copy\n"
    "keeps the movie's version, frame size, frame rate and tags; it is\n"
    "compressed as IN.swf is, unless an option says otherwise. A damaged\n"
    "movie is refused with the reason, and no OUT.swf is written; OUT.swf is\n"
    "written under a temporary name and renamed into place.\n"
    "\n"
    "  --compress     write a compressed movie (CWS)\n"
    "  --uncompress   write an uncompressed movie (FWS)\n";

// The first tag of the list (sprites' tags included) that could not be read.
const swf::TSWFTagInfo* FindUnreadable(const std::vector<const swf::TSWFTagInfo*>& entries) {
  std::function<const swf::TSWFTagInfo*(const swf::TSWFTagInfo&)> visit =
      [&](const swf::TSWFTagInfo& entry) -> const swf::TSWFTagInfo* {
    if (entry.TagID == swf::tag::ErrorTag) return &entry;
    for (const auto& sub : entry.SubTags)
      if (const auto* found = visit(*sub)) return found;
    return nullptr;
  };
  for (const auto* entry : entries)
    if (const auto* found = visit(*entry)) return found;
  return nullptr;
}

}  // namespace

int RunCopy(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kCopyHelp;
    return 0;
  }
  ArgReader reader(args);
  int compression = -1;  // -1 as the input, 0 uncompressed, 1 compressed
  std::string in, out;
  while (!reader.AtEnd()) {
    if (reader.TakeFlag({"--compress", "--uncompress"})) {
      int wanted = reader.Flag() == "--compress" ? 1 : 0;
      if (compression != -1 && compression != wanted) throw UsageError{"--compress and --uncompress exclude each other"};
      compression = wanted;
    } else if (in.empty()) {
      in = reader.TakePositional();
    } else if (out.empty()) {
      out = reader.TakePositional();
    } else {
      throw UsageError{"unexpected argument '" + reader.Peek() + "'"};
    }
  }
  if (out.empty()) throw UsageError{"IN.swf and OUT.swf are required"};
  CheckReplaceable(out);

  auto refuse = [&](const swf::TSWFTagInfo& bad) {
    const auto* raw = dynamic_cast<const swf::TSWFByteCodeTag*>(bad.TagObject);
    ThrowFileError(in, "cannot be copied: " + (raw ? raw->Description : swf::TagName(bad.TagID) + " is damaged"));
  };
  // Actions are copied as the bytes they are, not rewritten; they are read
  // once beforehand, tag by tag, so that a movie whose actions yel dump
  // cannot read is refused here too.
  {
    swf::TSWFTagScanner check(in);
    if (!check.Body().IsSWF()) ThrowFileError(in, "not an SWF file (it does not start with FWS or CWS)");
    while (const auto entry = check.Next(true))
      if (const auto* bad = FindUnreadable({entry.get()})) refuse(*bad);
  }
  swf::TSWFStreamReader movie(in);
  if (!movie.IsSWF) ThrowFileError(in, "not an SWF file (it does not start with FWS or CWS)");
  movie.ParseTags(true, false);
  std::vector<const swf::TSWFTagInfo*> entries;
  for (std::size_t i = 0; i < movie.TagCount(); ++i) entries.push_back(&movie.TagInfo(i));
  if (const auto* bad = FindUnreadable(entries)) refuse(*bad);
  if (compression != -1) movie.SetCompressed(compression == 1);
  movie.MakeStream();
  movie.SaveToFile(out);
  Out() << "Wrote " << out << " (" << movie.TagCount() << " tags, " << (movie.Compressed() ? "compressed" : "uncompressed")
        << ")\n";
  return 0;
}

}  // namespace yel::cli
