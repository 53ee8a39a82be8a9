// yel dump: lists the header and the tags of an SWF file, nested sprite tags
// indented, with a short summary of the fields of the tags the reader decodes.
#include <cstdio>
#include <ostream>

#include "base/error.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kDumpHelp =
    "Usage: yel dump FILE.swf\n"
    "\n"
    "Prints the SWF header, then one line per tag: its offset in the\n"
    "uncompressed file, code, name, body length and a summary of its fields.\n"
    "Tags inside sprites are indented under their sprite. A tag that cannot\n"
    "be read is listed with the reason.\n";

void PrintEntry(std::ostream& out, const swf::TSWFTagInfo& entry, std::uint32_t bodyOffset, int depth) {
  std::uint16_t code = entry.TagID;
  std::string summary;
  std::string name;
  if (const auto* raw = dynamic_cast<const swf::TSWFByteCodeTag*>(entry.TagObject)) {
    code = raw->TagCode;
    name = swf::TagName(code);
    // Tags that failed to parse carry the reason; a tag with the raw tag's
    // own code in the file has none.
    if (entry.TagID == swf::kRawTagCode && !raw->Description.empty()) {
      name += " (unreadable)";
      summary = raw->Description;
    } else {
      summary = raw->Description;
    }
  } else {
    name = swf::TagName(code);
    if (entry.TagObject) summary = entry.TagObject->Summary();
  }
  char line[160];
  std::snprintf(line, sizeof line, "%8u %*s%4u  %-*s %8u", bodyOffset + entry.Position, depth * 2, "", code,
                24 - depth * 2, name.c_str(), entry.Length);
  out << line;
  if (!summary.empty()) out << "  " << summary;
  out << "\n";
  for (const auto& sub : entry.SubTags) PrintEntry(out, *sub, bodyOffset, depth + 1);
}

}  // namespace

int RunDump(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kDumpHelp;
    return 0;
  }
  ArgReader reader(args);
  if (reader.AtEnd()) throw UsageError{"FILE.swf is required"};
  std::string path = reader.TakePositional();
  if (!reader.AtEnd()) throw UsageError{"unexpected argument '" + reader.Peek() + "'"};

  swf::TSWFStreamReader movie(path);
  if (!movie.IsSWF) ThrowFileError(path, "not an SWF file (it does not start with FWS or CWS)");
  movie.ParseTags();

  std::ostream& out = Out();
  const swf::TRect& rect = movie.MovieRect();
  std::uint64_t bodySize = movie.BodyStream().Size();
  out << "File: " << path << "\n"
      << movie.Signature() << " version " << int(movie.Version()) << ", file length " << movie.FileLength()
      << (movie.Compressed() ? " (compressed)" : "") << ", header " << movie.BodyOffset() << " bytes, tags "
      << bodySize << " bytes\n"
      << "Frame size " << rect.Left << "," << rect.Top << " - " << rect.Right << "," << rect.Bottom << " twips ("
      << (rect.Right - rect.Left) / 20.0 << " x " << (rect.Bottom - rect.Top) / 20.0 << " px), frame rate "
      << movie.FPS() << ", " << movie.FrameCount << " frames\n"
      << movie.TagCount() << " tags\n"
      << "  offset code  name                       length  summary\n";
  std::uint64_t end = 0;
  for (std::size_t i = 0; i < movie.TagCount(); ++i) {
    const auto& entry = movie.TagInfo(i);
    PrintEntry(out, entry, movie.BodyOffset(), 0);
    end = entry.Position + entry.FullSize();
  }
  if (end < bodySize) out << (bodySize - end) << " stray bytes after the last tag\n";
  return 0;
}

}  // namespace yel::cli
