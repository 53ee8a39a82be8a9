// yel dump: lists the header and the tags of an SWF file, nested sprite tags
// indented, with a short summary of the fields of the tags the reader decodes.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ostream>
#include <sstream>
#include <string_view>

#include "base/error.h"
#include "base/files.h"
#include "swf/format/actions/action_disassembly.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/button_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "tools/yel/cli.h"

namespace yel::cli {
namespace {

constexpr const char* kDumpHelp =
    "Usage: yel dump FILE.swf [--actions]\n"
    "\n"
    "Prints the SWF header, then one line per tag: its offset in the\n"
    "uncompressed file, code, name, body length and a summary of its fields.\n"
    "Tags inside sprites are indented under their sprite. A tag that cannot\n"
    "be read is listed with the reason.\n"
    "\n"
    "  --actions   also list the actions of DoAction and DoInitAction tags\n"
    "              and the actions of buttons and of placed clips, one per\n"
    "              line with its offset and fields, branch targets as\n"
    "              labels (L1, L2, ...)\n";

struct DumpOptions {
  bool actions = false;
};

// The action lists of a tag, under the tag's line: frame and init actions,
// and the actions of each clip event set of a placed clip.
void PrintActions(std::ostream& out, const swf::TSWFObject& tag, int depth) {
  const std::string indent(static_cast<std::size_t>(11 + depth * 2), ' ');
  if (const auto* doAction = dynamic_cast<const swf::TSWFDoAction*>(&tag)) {
    swf::DisassembleActionList(doAction->Actions(), out, indent);
  } else if (const auto* button = dynamic_cast<const swf::TSWFDefineButton*>(&tag)) {
    out << indent << "on release:\n";
    swf::DisassembleActionList(button->Actions, out, indent + "  ");
  } else if (const auto* button2 = dynamic_cast<const swf::TSWFDefineButton2*>(&tag)) {
    for (const auto& action : button2->CondActions) {
      out << indent << "on " << swf::ButtonConditionsText(action->ActionConditions);
      if (action->KeyPress) out << " (key " << int(action->KeyPress) << ")";
      out << ":\n";
      swf::DisassembleActionList(*action, out, indent + "  ");
    }
  } else if (const auto* place = dynamic_cast<const swf::TSWFPlaceObject2*>(&tag)) {
    if (!place->HasClipActions) return;
    for (const auto& record : place->ClipActions().Records) {
      out << indent << "on " << swf::ClipEventsText(record->EventFlags);
      if (record->KeyCode()) out << " (key " << int(record->KeyCode()) << ")";
      out << ":\n";
      swf::DisassembleActionList(*record, out, indent + "  ");
    }
  }
}

void PrintEntry(std::ostream& out, const swf::TSWFTagInfo& entry, std::uint32_t bodyOffset, int depth,
                const DumpOptions& options) {
  std::uint16_t code = entry.TagID;
  std::string summary;
  std::string name;
  if (const auto* raw = dynamic_cast<const swf::TSWFByteCodeTag*>(entry.TagObject)) {
    code = raw->TagCode;
    name = swf::TagName(code);
    // Tags that failed to parse carry the reason; a tag with the raw tag's
    // own code in the file has none.
    if (entry.TagID == swf::tag::ErrorTag && !raw->Description.empty()) {
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
  if (options.actions && entry.TagObject) PrintActions(out, *entry.TagObject, depth);
  // A sprite read without an End tag gets one (it is written back with it);
  // entries past the sprite's end in the file are not listed.
  const std::uint64_t end = std::uint64_t{entry.Position} + (entry.IsLongHeader ? 6 : 2) + entry.Length;
  for (const auto& sub : entry.SubTags)
    if (sub->Position + std::uint64_t{2} <= end) PrintEntry(out, *sub, bodyOffset, depth + 1, options);
}

// Text kept aside: in memory up to a megabyte, beyond that in an unnamed
// temporary file.
class Listing {
 public:
  Listing() = default;
  ~Listing() {
    if (file_) std::fclose(file_);
  }
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;

  void Add(std::string_view text) {
    if (!file_ && memory_.size() + text.size() <= kInMemory) {
      memory_ += text;
      return;
    }
    if (!file_) {
      const int fd = OpenTemporaryFile();
      file_ = ::fdopen(fd, "w+");
      if (!file_) {
        const int error = errno;
        ::close(fd);
        errno = error;
        Fail();
      }
      Write(memory_);
      std::string().swap(memory_);
    }
    Write(text);
  }

  void CopyTo(std::ostream& out) {
    if (!file_) {
      out << memory_;
      return;
    }
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) Fail();
    char chunk[65536];
    while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, file_)) out.write(chunk, std::streamsize(got));
    if (std::ferror(file_)) Fail();
  }

 private:
  static constexpr std::size_t kInMemory = 1 << 20;

  void Write(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) Fail();
  }
  [[noreturn]] void Fail() { throw Error("cannot keep the listing in a temporary file: " + SystemErrorText(errno)); }

  std::string memory_;
  std::FILE* file_ = nullptr;
};

}  // namespace

int RunDump(const Args& args) {
  if (WantsHelp(args)) {
    Out() << kDumpHelp;
    return 0;
  }
  ArgReader reader(args);
  DumpOptions options;
  std::string path;
  while (!reader.AtEnd()) {
    if (reader.TakeFlag({"--actions"})) {
      options.actions = true;
    } else if (path.empty()) {
      path = reader.TakePositional();
    } else {
      throw UsageError{"unexpected argument '" + reader.Peek() + "'"};
    }
  }
  if (path.empty()) throw UsageError{"FILE.swf is required"};

  // The tags are read one at a time, so that a movie of any size takes
  // little more memory than its largest tag. The header line counts them,
  // so the listing is kept aside until the end; a damaged file prints
  // nothing but the error.
  swf::TSWFTagScanner movie(path);
  const swf::TSWFBodyReader& file = movie.Body();
  if (!file.IsSWF()) ThrowFileError(path, "not an SWF file (it does not start with FWS or CWS)");
  Listing listing;
  std::ostringstream lines;
  std::size_t tagCount = 0;
  std::uint64_t end = 0;
  while (const auto entry = movie.Next()) {
    ++tagCount;
    end = entry->Position + entry->FullSize();
    lines.str({});
    PrintEntry(lines, *entry, file.BodyOffset(), 0, options);
    listing.Add(lines.view());
  }

  std::ostream& out = Out();
  const swf::TRect& rect = file.MovieRect();
  const std::uint64_t bodySize = file.BodySize();
  out << "File: " << path << "\n"
      << file.Signature() << " version " << int(file.Version()) << ", file length " << file.FileLength()
      << (file.Compressed() ? " (compressed)" : "") << ", header " << file.BodyOffset() << " bytes, tags " << bodySize
      << " bytes\n"
      << "Frame size " << rect.Left << "," << rect.Top << " - " << rect.Right << "," << rect.Bottom << " twips ("
      << (rect.Right - rect.Left) / 20.0 << " x " << (rect.Bottom - rect.Top) / 20.0 << " px), frame rate "
      << file.FPS() << ", " << file.FrameCount() << " frames\n"
      << tagCount << " tags\n"
      << "  offset code  name                       length  summary\n";
  listing.CopyTo(out);
  if (end < bodySize) out << (bodySize - end) << " stray bytes after the last tag\n";
  return 0;
}

}  // namespace yel::cli
