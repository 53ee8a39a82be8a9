// The action list builder and the ActionScript compiler: push merging and
// markers, the generated code of the main constructs, error messages with
// their positions, and bad input that must end in a clear error.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/byte_stream.h"
#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_button.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/actions/action_disassembly.h"
#include "swf/format/place_object_tags.h"
#include "tests/swf/format/actions/action_test_support.h"
#include "tests/testing/temp_dir.h"

namespace yel::swf {
namespace {

class CompilerTest : public ::testing::Test {
 protected:
  CompilerTest() : movie(0, 0, 550, 400, 24, TSWFSystemCoord::Pix) {
    InstallActionCompiler();
    movie.SetVersion(8);
  }

  // Compiles into a fresh frame builder; the listing of the result (or the
  // error log after a failure, prefixed with "error: ").
  std::string Compile(const std::string& source) {
    TFlashActionScript& actions = movie.FrameActions();
    actions.Actions().Clear();
    TMemoryStream& log = movie.CompileErrors();
    log.Clear();
    if (!actions.CompileText(source)) return "error: " + std::string(reinterpret_cast<const char*>(log.Data()), log.Size());
    return Listing(actions.Actions());
  }

  static std::string Listing(TSWFActionList& list) {
    testing::WriteList(list);  // settles the lengths
    std::string text = DisassembleActionList(list);
    // Only the record text: offsets and the trailing End go.
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      std::string line = text.substr(start, end - start);
      start = end == std::string::npos ? text.size() : end + 1;
      std::size_t first = line.find_first_not_of(' ');
      if (first == std::string::npos) continue;
      std::size_t word = line.find(' ', first);
      if (line[first] >= '0' && line[first] <= '9' && word != std::string::npos) line = line.substr(word + 1);
      else line = line.substr(first);
      line = line.substr(line.find_first_not_of(' '));
      if (line == "End") continue;
      out += line + "\n";
    }
    return out;
  }

  TFlashMovie movie;
};

TEST_F(CompilerTest, BuilderMergesPushesAndPlacesMarkers) {
  TFlashActionScript builder(&movie);
  builder.PushValues({std::int64_t{1}, std::string("a")});
  builder.PushValue(2.5);
  builder.Stop();
  builder.PushConstant(255);
  builder.PushConstant(256);
  ASSERT_EQ(builder.Actions().Count(), 3u);
  auto* first = dynamic_cast<TSWFActionPush*>(builder.GetAction(0));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->ValueCount(), 3u);
  auto* constants = dynamic_cast<TSWFActionPush*>(builder.GetAction(2));
  EXPECT_EQ(constants->Values[0].ValueType, kPushConstant8);
  EXPECT_EQ(constants->Values[1].ValueType, kPushConstant16);

  TFlashActionScript jumps(&movie);
  EXPECT_EQ(jumps.MinVersion(), 1);
  TSWFActionJump* jump = jumps.Jump();
  jumps.Stop();
  jumps.PlaceMarker(jump->Marker(), false);
  EXPECT_EQ(testing::WriteList(jumps.Actions()), (testing::Bytes{0x99, 2, 0, 1, 0, 0x07, 0}));
  jumps.GotoFrame2(true, 0);
  jumps.FSCommand("quit", "");
  auto* url = dynamic_cast<TSWFActionGetUrl*>(jumps.GetAction(jumps.Actions().Count() - 1));
  EXPECT_EQ(url->URL, "FSCommand:quit");
  EXPECT_FALSE(dynamic_cast<TSWFActionGotoFrame2*>(jumps.GetAction(3))->SceneBiasFlag);
  jumps.DefineFunction2("f", {}, 1);
  EXPECT_EQ(jumps.MinVersion(), 7);
}

TEST_F(CompilerTest, LoadingScriptCompilesToTheKnownList) {
  TFlashActionScript& actions = movie.FrameActions();
  ASSERT_TRUE(actions.CompileStrings({"this.onEnterFrame = function ()", "{",
                                      "  if (_root.getBytesLoaded() == _root.getBytesTotal())", "  {",
                                      "    delete this.onEnterFrame;", "    this.gotoAndPlay(2);", "  }", "  else",
                                      "  {", "    stop();", "  }", "}"}));
  EXPECT_EQ(Listing(actions.Actions()),
            "ConstantPool 6: \"this\", \"onEnterFrame\", \"_root\", \"getBytesLoaded\", \"getBytesTotal\", "
            "\"gotoAndPlay\"\n"
            "Push const8 0 (\"this\")\nGetVariable\nPush const8 1 (\"onEnterFrame\")\n"
            "DefineFunction2 \"\" () registers 2, flags SuppressSuper|SuppressArguments|PreloadThis, code size 74, "
            "ends at L2\n"
            "Push int 0, const8 2 (\"_root\")\nGetVariable\nPush const8 3 (\"getBytesLoaded\")\nCallMethod\n"
            "Push int 0, const8 2 (\"_root\")\nGetVariable\nPush const8 4 (\"getBytesTotal\")\nCallMethod\n"
            "Equals2\nIf L1\nStop\nJump L2\nL1:\nPush register 1, const8 1 (\"onEnterFrame\")\nDelete\nPop\n"
            "Push int 2, int 1, register 1, const8 5 (\"gotoAndPlay\")\nCallMethod\nPop\nL2:\nSetMember\n");
}

TEST_F(CompilerTest, ExpressionsAndStatements) {
  struct Case {
    const char* source;
    const char* listing;
  } cases[] = {
      {"x;", ""},
      {"stop();", "Stop\n"},
      {"o.x;", "ConstantPool 2: \"o\", \"x\"\nPush const8 0 (\"o\")\nGetVariable\nPush const8 1 (\"x\")\nGetMember\nPop\n"},
      {"a = b;", "ConstantPool 2: \"a\", \"b\"\nPush const8 0 (\"a\"), const8 1 (\"b\")\nGetVariable\nSetVariable\n"},
      {"x = 3; y = 2.5; z = 4294967296;",
       "ConstantPool 3: \"x\", \"y\", \"z\"\nPush const8 0 (\"x\"), int 3\nSetVariable\nPush const8 1 (\"y\"), "
       "double 2.5\nSetVariable\nPush const8 2 (\"z\"), double 4294967296\nSetVariable\n"},
      {"function f() { var i = 0; i++; }",
       "DefineFunction2 \"f\" () registers 2, flags SuppressSuper|SuppressArguments|SuppressThis, code size 24, "
       "ends at L1\nPush int 0\nStoreRegister 1\nPop\nPush register 1\nIncrement\nStoreRegister 1\nPop\nL1:\n"},
      {"x = 010; y = 0x1F; z = .5;",
       "ConstantPool 3: \"x\", \"y\", \"z\"\nPush const8 0 (\"x\"), int 10\nSetVariable\nPush const8 1 (\"y\"), int "
       "31\nSetVariable\nPush const8 2 (\"z\"), double 0.5\nSetVariable\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Compile(c.source), c.listing) << c.source;
}

TEST_F(CompilerTest, NamedFunctionsAreHoisted) {
  std::string listing = Compile("f();\nfunction f() { }\nvar g = function () { };");
  EXPECT_EQ(listing.find("DefineFunction2 \"f\""), listing.find("DefineFunction2"));
  EXPECT_LT(listing.find("DefineFunction2 \"f\""), listing.find("CallFunction"));
  EXPECT_GT(listing.find("DefineFunction2 \"\""), listing.find("CallFunction"));
}

TEST_F(CompilerTest, TheEndOfTheInputEndsATokenLikeALineBreak) {
  // The last line needs no line break: a final comment, a final digit and a
  // final statement compile as they would with one.
  for (std::string source : {"x = 5; // done", "x = 5;\n// done", "x = 5;", "x = 5;\n//# listing"}) {
    EXPECT_EQ(Compile(source + ";"), Compile(source + "\n;")) << source;
    EXPECT_EQ(Compile(source).rfind("error", 0), std::string::npos) << source << ": " << Compile(source);
  }
  EXPECT_EQ(Compile("x = 5x;").rfind("error: Parse Error", 0), 0u);
  // A final digit is a number, and the end of the input ends its statement.
  EXPECT_EQ(Compile("x = 5"), Compile("x = 5;"));
}

TEST_F(CompilerTest, ALineBreakEndsAStatementThatLacksItsSemicolon) {
  // Each source compiles as the same source with the semicolons written.
  struct Case {
    const char* without;
    const char* with;
  } same[] = {
      {"a = 1\nb = 2\n", "a = 1;\nb = 2;\n"},
      {"trace(a)\nvar v = f()\nv++", "trace(a);\nvar v = f();\nv++;"},
      {"function f() { return 1 }\nfunction g() { if (a) return\n}", "function f() { return 1; }\nfunction g() { if (a) return;\n}"},
      {"do { i++ } while (i < 3)\nfor (;;) { break\n}", "do { i++; } while (i < 3);\nfor (;;) { break;\n}"},
      {"a = b /* a comment\n over lines */ c = d", "a = b; c = d;"},
      // A line break before a token that continues the expression ends
      // nothing.
      {"a = b\n+ c\n.d", "a = b + c.d;"},
  };
  for (const auto& c : same) EXPECT_EQ(Compile(c.without), Compile(c.with)) << c.without;
  // No semicolon where the next token is on the same line, or where the
  // error lies inside an unfinished construct.
  for (const char* source : {"a = 1 b = 2;", "f(a\n b);", "return (\n}", "x = [1,\n 2 3];", "if (a\n b) c();"})
    EXPECT_EQ(Compile(source).rfind("error: Parse Error", 0), 0u) << source;
}

TEST_F(CompilerTest, LiteralsAndComputedNamesStartMemberAccessAndCalls) {
  EXPECT_EQ(Compile("n = \"foo\".length;"),
            "ConstantPool 3: \"n\", \"foo\", \"length\"\nPush const8 0 (\"n\"), const8 1 (\"foo\"), const8 2 "
            "(\"length\")\nGetMember\nSetVariable\n");
  EXPECT_EQ(Compile("o[k](1);"),
            "ConstantPool 2: \"o\", \"k\"\nPush int 1, int 1, const8 0 (\"o\")\nGetVariable\nPush const8 1 "
            "(\"k\")\nGetVariable\nCallMethod\nPop\n");
}

TEST_F(CompilerTest, ErrorsNameTheirPosition) {
  EXPECT_EQ(Compile("a = 1;\nb = 2;\nc = d e;"), "error: Parse Error in line: 3 pos: 8");
  EXPECT_EQ(Compile("trace(\"a\", \"b\");"),
            "error: Invalid parameters count in \"trace\" in line 1\nRequires 1 parameters, actual - 2.");
  EXPECT_EQ(Compile("getProperty(mc, \"_alpha\");"), "error: Invalid parameters list in \"getProperty\" in line 1");
  // A compile error keeps what was appended before it.
  TFlashActionScript& actions = movie.FrameActions();
  actions.Actions().Clear();
  actions.Stop();
  EXPECT_FALSE(actions.CompileText("x = ;"));
  EXPECT_EQ(actions.Actions().Count(), 1u);
}

TEST_F(CompilerTest, BadInputEndsInAClearError) {
  yel::testing::TempDir dir;
  dir.Write("cycle.as", "#include \"cycle.as\"\nx = 1;\n");
  dir.Write("Broken.as", "class Broken { function f( }\n");
  movie.CompileContext().AddIncludePath(dir.path());
  movie.CompileContext().AddClassPath(dir.path());
  struct Case {
    std::string source;
    std::string error;
  } cases[] = {
      {"x = \"open;\n", "error: Unterminated string in line: 1 pos: 5"},
      {"x = 1; /* open\n", "error: Unterminated comment in line: 1 pos: 8"},
      {"x = @;", "error: Parse Error in line: 1 pos: 6"},
      {"if (a) { b();\n", "error: Parse Error in line: 2 pos: 1"},
      {"#include \"missing.as\"\n", "error: Include file \"missing.as\" not found."},
      {"#include \"cycle.as\"\n", "error: Include file \"cycle.as\" includes itself."},
      {std::string(100000, '(') + "1" + std::string(100000, ')') + ";", "error: Parse Error in line: 1 pos: "},
      {"x = 1" + [] { std::string s; for (int i = 0; i < 100000; ++i) s += "+1"; return s; }() + ";",
       "error: Expression or statement nested too deeply in line 1"},
      // Last: the class stays in use and fails again with every compilation.
      {"var b = new Broken();", "error: Parse Error in file: \"" + dir.path() + "/Broken.as\" line: 1 pos: 29"},
  };
  for (const auto& c : cases) {
    std::string result = Compile(c.source);
    EXPECT_EQ(result.substr(0, c.error.size()), c.error) << c.source.substr(0, 60);
  }
}

TEST_F(CompilerTest, ALargeScriptCompiles) {
  std::string source;
  source.reserve(11 << 20);
  for (int i = 0; source.size() < (10u << 20); ++i)
    source += "var v" + std::to_string(i % 5000) + " = \"text\" + " + std::to_string(i) + " * 2;\n";
  TFlashActionScript& actions = movie.FrameActions();
  EXPECT_TRUE(actions.CompileText(source));
}

TEST_F(CompilerTest, ClassesCompileIntoInitActionsOfTheirOwnSprites) {
  yel::testing::TempDir dir;
  dir.Write("Base.as", "class Base { var n = 1; function Base() { } function get value() { return n; } }\n");
  dir.Write("Child.as",
            "class Child extends Base { static var count = 0; function Child() { super(); count++; } "
            "function twice() { return value * 2; } }\n");
  movie.CompileContext().AddClassPath(dir.path());
  EXPECT_EQ(Compile("var c = new Child();").rfind("error", 0), std::string::npos);
  int inits = 0;
  std::string listings;
  for (const auto& object : movie.ObjectList()) {
    if (auto* sprite = dynamic_cast<TFlashSprite*>(object.get()); sprite && sprite->HasInitActions()) {
      ++inits;
      listings += Listing(sprite->InitActions().Actions());
    }
  }
  EXPECT_EQ(inits, 2);
  // Base before Child; the getter registered as a property; super called.
  EXPECT_LT(listings.find("\"Base\""), listings.find("\"Child\""));
  EXPECT_NE(listings.find("\"addProperty\""), std::string::npos);
  EXPECT_NE(listings.find("Extends"), std::string::npos);
}

TEST_F(CompilerTest, SlashSyntaxNamesAreVariablesByPath) {
  std::string listing = Compile("function /:f() { }\nvar /:a = 1;\nvar _root.b;\nt = /c/:d;\nx = c ? p/q:r;");
  for (const char* part : {"DefineFunction2 \"/:f\"", "(\"/:a\"), int 1\nDefineLocal\n", "(\"_root.b\")\nDefineLocal2",
                           "(\"/c/:d\")\nGetVariable", "Divide"})
    EXPECT_NE(listing.find(part), std::string::npos) << part << "\n" << listing;
  // Inside a function such names are never held in registers.
  EXPECT_EQ(Compile("function g() { var /:v = 2; }").find("StoreRegister"), std::string::npos);
}

TEST_F(CompilerTest, PropertiesOfASuperclassAreReachedThroughTheirAccessors) {
  yel::testing::TempDir dir;
  dir.Write("P.as", "class P { function get v() { return 1; } function set v(x) { } }\n");
  dir.Write("Q.as", "class Q extends P { function get v() { return super.v; } function set v(x) { super.v = x; } }\n");
  movie.CompileContext().AddClassPath(dir.path());
  ASSERT_EQ(Compile("var q = new Q();").rfind("error", 0), std::string::npos);
  std::string classes;
  for (const auto& object : movie.ObjectList())
    if (auto* sprite = dynamic_cast<TFlashSprite*>(object.get()); sprite && sprite->HasInitActions())
      classes += Listing(sprite->InitActions().Actions());
  // super.v calls the superclass's __get__v and __set__v; every setter
  // returns the property read through this.
  EXPECT_NE(classes.find("(\"__get__v\")\nCallMethod"), std::string::npos) << classes;
  EXPECT_NE(classes.find("(\"__set__v\")\nCallMethod\nPop"), std::string::npos) << classes;
  EXPECT_NE(classes.find("GetMember\nReturn\nL"), std::string::npos) << classes;
}

TEST_F(CompilerTest, AnImportOfAMissingClassFailsOnlyWhereTheNameIsUsed) {
  EXPECT_EQ(Compile("import a.b.Missing;\nx = 1;"), Compile("x = 1;"));
  for (const char* use : {"var m = new Missing();", "Missing.f();", "t = Missing;"})
    EXPECT_EQ(Compile(std::string("import a.b.Missing;\n") + use), "error: Class a.b.Missing not found.") << use;
}

TEST_F(CompilerTest, MoviesBeforeVersion7GetFunctionsWithoutRegisters) {
  yel::testing::TempDir dir;
  dir.Write("A.as", "class A { var n = 1; function A() { trace(n); } }\n");
  dir.Write("B.as", "class B extends A { var m = 2; function B(x) { super(); trace(x + m); } }\n");
  movie.CompileContext().AddClassPath(dir.path());
  movie.SetVersion(6);
  std::string listing = Compile("function f(a) { var b = a; return this; }\nvar o = new B(1);");
  EXPECT_NE(listing.find("DefineFunction \"f\" (a)"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("register"), std::string::npos);
  std::string classes;
  for (const auto& object : movie.ObjectList())
    if (auto* sprite = dynamic_cast<TFlashSprite*>(object.get()); sprite && sprite->HasInitActions())
      classes += Listing(sprite->InitActions().Actions());
  // No DefineFunction2 or Extends (version 7 actions): the prototype of B
  // is made by new A(), and fields are members of the prototypes.
  EXPECT_EQ(classes.find("DefineFunction2"), std::string::npos);
  EXPECT_EQ(classes.find("Extends"), std::string::npos);
  EXPECT_NE(classes.find("NewMethod"), std::string::npos);
  EXPECT_NE(classes.find("(\"super\")\nGetVariable"), std::string::npos) << classes;
  EXPECT_EQ(movie.Version(), 6);
}

TEST_F(CompilerTest, ClipHandlersGoIntoClipActionRecords) {
  TFlashSprite* sprite = movie.AddSprite();
  TFlashPlaceObject* place = movie.PlaceObject(sprite, 1);
  ASSERT_TRUE(place->CompileActions("onClipEvent (load) { x = 1; }\nonClipEvent (enterFrame, mouseUp) { stop(); }"));
  TSWFClipActionRecord* load = place->FindActionEvent(kClipEventLoad, false);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(Listing(*load), "ConstantPool 1: \"x\"\nPush const8 0 (\"x\"), int 1\nSetVariable\n");
  EXPECT_EQ(Listing(*place->FindActionEvent(kClipEventMouseUp, false)), "ConstantPool 1: \"x\"\nStop\n");
  EXPECT_FALSE(place->CompileActions("on (release) { stop(); }"));
  TMemoryStream& log = movie.CompileErrors();
  std::string text(reinterpret_cast<const char*>(log.Data()), log.Size());
  EXPECT_NE(text.find("Invalid event handler type in line 1"), std::string::npos);
}

// The number of sprites with init actions (one per generated class).
int ClassSprites(TFlashMovie& movie) {
  int count = 0;
  for (const auto& object : movie.ObjectList())
    if (auto* sprite = dynamic_cast<TFlashSprite*>(object.get()); sprite && sprite->HasInitActions()) ++count;
  return count;
}

TEST_F(CompilerTest, ButtonHandlersGoIntoConditionsWithTheirKeys) {
  TFlashButton* button = movie.AddButton(false, true);
  ASSERT_TRUE(button->CompileActions(
      "on (release) { trace(\"released\"); }\non (keyPress \"<Left>\") { f(); trace(\"left\"); function f() { } }\n"
      "on (keyPress \"a\") { stop(); }"));
  auto& conditions = dynamic_cast<TSWFDefineButton2&>(button->ButtonRecord()).CondActions;
  ASSERT_EQ(conditions.size(), 3u);
  EXPECT_EQ(conditions[0]->ActionConditions, kCondOverDownToOverUp);
  EXPECT_EQ(Listing(*conditions[0]), "ConstantPool 1: \"released\"\nPush const8 0 (\"released\")\nTrace\n");
  // Key-press handlers have their own condition with the key's code, and
  // get the final pass too (the function hoisted, no Push/Pop pair left).
  EXPECT_EQ(conditions[1]->ActionConditions, 0);
  EXPECT_EQ(conditions[1]->KeyPress, 1);
  EXPECT_EQ(Listing(*conditions[1]),
            "ConstantPool 3: \"released\", \"f\", \"left\"\n"
            "DefineFunction2 \"f\" () registers 1, flags SuppressSuper|SuppressArguments|SuppressThis, code size 0, "
            "ends at L1\nL1:\nPush int 0, const8 1 (\"f\")\nCallFunction\nPop\nPush const8 2 (\"left\")\nTrace\n");
  EXPECT_EQ(conditions[2]->KeyPress, 'a');
  EXPECT_EQ(Listing(*conditions[2]), "ConstantPool 3: \"released\", \"f\", \"left\"\nStop\n");
}

TEST_F(CompilerTest, ClassAndIncludeFilesAreFoundWithoutRegardToCase) {
  yel::testing::TempDir dir;
  dir.Write("greeter.as", "class Greeter { static function main(mc) { trace(mc); } }\n");
  std::filesystem::create_directories(dir / "Pkg/Sub");
  dir.Write("Pkg/Sub/thing.as", "class pkg.sub.Thing { }\n");
  std::filesystem::create_directories(dir / "inc2");
  dir.Write("inc2/Inner.as", "y = 2;\n");
  movie.CompileContext().AddClassPath(dir.path());
  EXPECT_EQ(Compile("Greeter.main(this);").rfind("error", 0), std::string::npos);
  EXPECT_EQ(ClassSprites(movie), 1);
  EXPECT_EQ(Compile("var t = new pkg.sub.Thing();").rfind("error", 0), std::string::npos);
  EXPECT_EQ(ClassSprites(movie), 2);
  // An indented include after the first line, its path in another case.
  EXPECT_EQ(Compile("if (a) {\n    #include \"INC2/INNER.AS\"\n}\n"), Compile("if (a) {\n y = 2;\n}\n"));
  EXPECT_EQ(Compile("x = 1;\n\t # include 'inc2\\inner.as'\n"), Compile("x = 1;\ny = 2;\n"));
}

TEST_F(CompilerTest, ClassLookupOpensOnlyTheFoldersOfTheName) {
  // Links of a folder to itself (packages and a version folder) beside the
  // script, and the whole file system as a class path, end quickly: a
  // lookup lists the folders on the way to one file, nothing else.
  yel::testing::TempDir dir;
  for (const char* link : {"a", "b", "FP8"}) std::filesystem::create_directory_symlink(".", dir / link);
  dir.Write("Foo.as", "class a.b.Foo { static function go() { } }\n");
  movie.CompileContext().AddClassPath(dir.path());
  movie.CompileContext().AddClassPath("/");
  EXPECT_EQ(Compile("a.b.a.b.a.b.Unknown.go();\nx = usr.lib.Nothing;\nimport a.b.*;\n").rfind("error", 0),
            std::string::npos);
  EXPECT_EQ(Compile("import a.b.Foo;\nFoo.go();").rfind("error", 0), std::string::npos);
  EXPECT_EQ(ClassSprites(movie), 1);
}

TEST_F(CompilerTest, AFileThatDoesNotDeclareTheClassIsNoClass) {
  yel::testing::TempDir dir;
  dir.Write("plain.as", "x = 1;\n");
  std::string main = dir.Write("t.as", "function t(k) { return k; }\nt(1);\n");
  auto& context = dynamic_cast<TCompileContext&>(movie.CompileContext());
  context.SetMainScript(main);
  context.AddClassPath(dir.path());
  // Plain calls, not casts, and no class compiled.
  EXPECT_NE(Compile("plain(3);").find("(\"plain\")\nCallFunction"), std::string::npos);
  EXPECT_NE(Compile("function t(k) { return k; }\nt(1);\n").find("(\"t\")\nCallFunction"), std::string::npos);
  EXPECT_EQ(ClassSprites(movie), 0);
  // Where a class is needed, the error names the file and the place.
  const std::string error = "error: Class file \"" + dir.path() + "/plain.as\" does not declare the class plain.";
  EXPECT_EQ(Compile("x = 1;\nvar q = new plain();"), error + " in line: 2 pos: 19");
  EXPECT_EQ(Compile("class C extends plain { }").substr(0, error.size()), error);
}

TEST_F(CompilerTest, DeepClassChainsCompile) {
  yel::testing::TempDir dir;
  for (int i = 0; i < 400; ++i)
    dir.Write("D" + std::to_string(i) + ".as",
              i < 399 ? "class D" + std::to_string(i) + " extends D" + std::to_string(i + 1) + " { }\n"
                      : "class D399 { function f() { return 1; } }\n");
  movie.CompileContext().AddClassPath(dir.path());
  EXPECT_EQ(Compile("var d = new D0();\ntrace(d.f());").rfind("error", 0), std::string::npos);
  EXPECT_EQ(ClassSprites(movie), 400);
}

TEST_F(CompilerTest, ClassFileErrorsNameTheUse) {
  yel::testing::TempDir dir;
  dir.Write("A.as", "class A extends B { }\n");
  dir.Write("B.as", "class B extends A { }\n");
  movie.CompileContext().AddClassPath(dir.path());
  EXPECT_EQ(Compile("x = 1;\n  var a = new A();"),
            "error: Class A depends on itself through its superclass or interfaces. in line: 2 pos: 17");
}

TEST_F(CompilerTest, ConstructorsOfConversionClassesTakeAnyArguments) {
  for (const char* name : {"String", "Number", "Boolean", "Object"}) {
    for (const char* arguments : {"", "1", "1, 2"}) {
      std::string source = std::string("var v = new ") + name + "(" + arguments + ");";
      std::string listing = Compile(source);
      EXPECT_NE(listing.find("(\"" + std::string(name) + "\")\nNewObject"), std::string::npos) << source << listing;
    }
  }
  // The calls stay conversions with their argument count checked.
  EXPECT_EQ(Compile("v = String(1);").find("ToString"), Compile("v = String(1);").find("ToString"));
  EXPECT_NE(Compile("v = String(1);").find("ToString"), std::string::npos);
  EXPECT_EQ(Compile("v = String();").rfind("error: Invalid parameters count in \"String\"", 0), 0u);
}

TEST_F(CompilerTest, ContinueInASwitchDropsTheSwitchValue) {
  // A continue leaves as many switches as it crosses: each drops its value
  // before the jump, as the end of the switch would.
  std::string listing = Compile("while (a) { switch (b) { case 1: switch (c) { case 2: continue; } } }");
  EXPECT_NE(listing.find("Pop\nPop\nJump L1\n"), std::string::npos) << listing;
  listing = Compile("for (k in o) { switch (k) { case 1: continue; } }");
  EXPECT_NE(listing.find("Pop\nJump L1\n"), std::string::npos) << listing;
  // A continue straight in a loop has nothing to drop.
  EXPECT_EQ(Compile("while (a) { continue; }").find("Pop"), std::string::npos);
}

TEST_F(CompilerTest, SourceTextIsReadAsWritten) {
  // Valid scripts: a byte-order mark, an empty file, a comment only.
  EXPECT_EQ(Compile("\xEF\xBB\xBFx = 1;"), Compile("x = 1;"));
  for (const char* source : {"", "// only a comment\n", "/* a comment */", "\n\n"}) EXPECT_EQ(Compile(source), "");
  // \x and \u escapes (UTF-8 in movies of version 6 on).
  EXPECT_NE(Compile("x = \"\\x41\\u00e9\\u20AC\";").find("\"A\xC3\xA9\xE2\x82\xAC\""), std::string::npos);
  movie.SetVersion(5);
  EXPECT_NE(Compile("x = \"\\u00e9\";").find("\"\xE9\""), std::string::npos);
  movie.SetVersion(8);
  // A byte 0 is an error, in code, a string or a comment.
  for (std::string source : {std::string("x=1;\0y=2;", 9), std::string("x=\"a\0b\";", 8), std::string("/* \0 */", 7)})
    EXPECT_EQ(Compile(source).rfind("error: Invalid character (byte 0) in line: 1 pos: ", 0), 0u) << source;
}

TEST_F(CompilerTest, HostileSourcesStayCheap) {
  // 31 files, each including the next twice: 2^31 inclusions unless they
  // are capped, in number (small files) and in bytes (large ones).
  yel::testing::TempDir dir;
  for (int i = 0; i < 31; ++i) {
    std::string include = "#include \"f" + std::to_string(i + 1) + ".as\"\n";
    dir.Write("f" + std::to_string(i) + ".as", i < 30 ? include + include : "x = 1;\n");
  }
  // A file that would take the total past 64 MB is refused before it is
  // read (this one is sparse).
  dir.Write("big.as", "");
  std::filesystem::resize_file(dir / "big.as", (64u << 20) + 1);
  dir.Write("g.as", "x = 2;\n#include \"BIG.as\"\n");
  movie.CompileContext().AddIncludePath(dir.path());
  std::string result = Compile("#include \"f0.as\"\n");
  EXPECT_EQ(result.rfind("error: More than 10000 files included: the script > " + dir.path() + "/f0.as > ", 0), 0u)
      << result.substr(0, 300);
  EXPECT_EQ(Compile("#include \"g.as\"\n"), "error: Included files add up to more than 64 MB: the script > " +
                                                  dir.path() + "/g.as > " + dir.path() + "/big.as");
  // Long tokens lex in linear time.
  EXPECT_EQ(Compile("// " + std::string(10 << 20, 'c') + "\nx = 1;"), Compile("x = 1;"));
  EXPECT_EQ(Compile("x = 1; /* " + std::string(1 << 20, 'c') + " */"), Compile("x = 1;"));
  EXPECT_EQ(Compile("x = \"" + std::string(40000, 's') + "\";").find("ConstantPool"), 0u);
}

}  // namespace
}  // namespace yel::swf
