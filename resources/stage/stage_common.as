// Shared part of the theme editor's stage movies: the editor drives a stage
// through ExternalInterface callbacks (its functions, and GetVariable and
// SetVariable for dotted variable names) and hears from it through
// fscommand. Stage objects (the photo frame, decorative shapes, the loading
// bar) are movies loaded from local files; the user selects one with a
// click (a frame with four handles appears), moves it by dragging and
// resizes it by a handle. Presses of either button send CMD_MENU, "1" on an
// object and "0" on the background.
import flash.external.ExternalInterface;

var kBackgroundDepth:Number = 10;
var kImageDepth:Number = 11;
var kWindowDepth:Number = 50;
var kSelectionDepth:Number = 10000;
var kHandle:Number = 7;

var gObjects:Array = new Array();  // selectable objects, bottom to top
var gSelected:Object = null;
var gDrag:Object = null;
var gNextDepth:Number = 100;
var gRightDown:Boolean = false;
// Called after an object's place or size changed (the template stage keeps
// its photo window in step).
var gOnPlaced:Function = null;

// The player serves local files under file/ followed by the percent-encoded
// path. Each load asks anew (the editor rewrites its movies under the same
// names), so the address differs each time.
var gLoads:Number = 0;
function StageUrl(path:String):String {
  gLoads++;
  return "file/" + escape(path) + "?" + gLoads;
}

function Send(command:String, value):Void {
  getURL("FSCommand:" + command, String(value));
}

// Variables by dotted name ("PTemplate.SelectObject.Left"). After a set, the
// owning object's Changed(key) hook, when it has one, applies the value.
function Owner(name:String):Object {
  var parts:Array = name.split(".");
  var owner:Object = _root;
  for (var i:Number = 0; i < parts.length - 1; i++) {
    owner = owner[parts[i]];
    if (owner == undefined || owner == null) return null;
  }
  return owner;
}

function LastKey(name:String):String {
  var parts:Array = name.split(".");
  return parts[parts.length - 1];
}

function GetStageVariable(name:String) {
  var owner:Object = Owner(name);
  if (owner == null) return "";
  var value = owner[LastKey(name)];
  if (value == undefined || value == null) return "";
  return String(value);
}

function SetStageVariable(name:String, value):Void {
  var owner:Object = Owner(name);
  if (owner == null) return;
  var key:String = LastKey(name);
  owner[key] = value;
  if (typeof owner.Changed == "function") owner.Changed(key);
}

// Background: a colour fill, or a picture movie over it at its own size.
function FillColor(colour):Void {
  var rgb:Number = Number(colour);
  if (isNaN(rgb)) return;
  var image:MovieClip = _root["mcBackgroundImage"];
  if (image != undefined) image.removeMovieClip();
  var fill:MovieClip = _root.createEmptyMovieClip("mcBackground", kBackgroundDepth);
  fill.beginFill(rgb, 100);
  fill.moveTo(0, 0);
  fill.lineTo(Stage.width, 0);
  fill.lineTo(Stage.width, Stage.height);
  fill.lineTo(0, Stage.height);
  fill.lineTo(0, 0);
  fill.endFill();
}

function FillImage(path:String):Void {
  var image:MovieClip = _root.createEmptyMovieClip("mcBackgroundImage", kImageDepth);
  var loader:MovieClipLoader = new MovieClipLoader();
  loader.loadClip(StageUrl(path), image);
}

// A stage object of kind "frame", "shape" or "bar" at (left, top), width by
// height; a size left undefined becomes the loaded movie's own.
function MakeObject(kind:String, path:String, depth:Number, left:Number, top:Number, width, height):Object {
  var o:Object = new Object();
  o.Kind = kind;
  o.FileName = path;
  o.Left = left;
  o.Top = top;
  o.Width = width;
  o.Height = height;
  o.Clip = _root.createEmptyMovieClip("mcObject" + depth, depth);
  o.Content = o.Clip.createEmptyMovieClip("mcContent", 1);
  o.NaturalWidth = 0;
  o.NaturalHeight = 0;
  var listener:Object = new Object();
  listener.onLoadInit = function(target:MovieClip) {
    // A photo frame movie is built at the object's size (its drawing may
    // reach beyond it); other movies are scaled from what they draw.
    o.NaturalWidth = kind == "frame" ? o.Width : target._width;
    o.NaturalHeight = kind == "frame" ? o.Height : target._height;
    if (o.Width == undefined) o.Width = o.NaturalWidth;
    if (o.Height == undefined) o.Height = o.NaturalHeight;
    Place(o);
  };
  var loader:MovieClipLoader = new MovieClipLoader();
  loader.addListener(listener);
  loader.loadClip(StageUrl(path), o.Content);
  gObjects.push(o);
  Place(o);
  return o;
}

function RemoveObject(o:Object):Void {
  for (var i:Number = 0; i < gObjects.length; i++) {
    if (gObjects[i] == o) {
      gObjects.splice(i, 1);
      break;
    }
  }
  o.Clip.removeMovieClip();
  if (gSelected == o) Select(null);
}

// Puts an object's clip where its values say, its content scaled from the
// loaded movie's own size to the object's size.
function Place(o:Object):Void {
  o.Clip._x = o.Left;
  o.Clip._y = o.Top;
  if (o.NaturalWidth > 0 && o.Width != undefined) o.Content._xscale = 100 * o.Width / o.NaturalWidth;
  if (o.NaturalHeight > 0 && o.Height != undefined) o.Content._yscale = 100 * o.Height / o.NaturalHeight;
  if (gOnPlaced != null) gOnPlaced(o);
  if (o == gSelected) {
    DrawSelection();
    SyncSelection();
  }
}

function Width(o:Object):Number {
  return o.Width == undefined ? 0 : Number(o.Width);
}

function Height(o:Object):Number {
  return o.Height == undefined ? 0 : Number(o.Height);
}

// The selection frame with a handle at each corner.
function DrawSelection():Void {
  var frame:MovieClip = _root.createEmptyMovieClip("mcSelection", kSelectionDepth);
  if (gSelected == null) return;
  var x:Number = gSelected.Left, y:Number = gSelected.Top, w:Number = Width(gSelected), h:Number = Height(gSelected);
  frame.lineStyle(1, 0x0066FF, 100);
  frame.moveTo(x, y);
  frame.lineTo(x + w, y);
  frame.lineTo(x + w, y + h);
  frame.lineTo(x, y + h);
  frame.lineTo(x, y);
  var corners:Array = Corners(gSelected);
  for (var i:Number = 0; i < corners.length; i++) {
    var cx:Number = corners[i].x - kHandle / 2, cy:Number = corners[i].y - kHandle / 2;
    frame.beginFill(0xFFFFFF, 100);
    frame.moveTo(cx, cy);
    frame.lineTo(cx + kHandle, cy);
    frame.lineTo(cx + kHandle, cy + kHandle);
    frame.lineTo(cx, cy + kHandle);
    frame.lineTo(cx, cy);
    frame.endFill();
  }
}

// Corners 0 top left, 1 top right, 2 bottom right, 3 bottom left.
function Corners(o:Object):Array {
  var x:Number = o.Left, y:Number = o.Top, w:Number = Width(o), h:Number = Height(o);
  return [{x: x, y: y}, {x: x + w, y: y}, {x: x + w, y: y + h}, {x: x, y: y + h}];
}

function HandleAt(x:Number, y:Number):Number {
  if (gSelected == null) return -1;
  var corners:Array = Corners(gSelected);
  for (var i:Number = 0; i < corners.length; i++) {
    if (Math.abs(x - corners[i].x) <= kHandle && Math.abs(y - corners[i].y) <= kHandle) return i;
  }
  return -1;
}

// The topmost object whose rectangle holds the point.
function ObjectAt(x:Number, y:Number):Object {
  for (var i:Number = gObjects.length - 1; i >= 0; i--) {
    var o:Object = gObjects[i];
    if (x >= o.Left && x <= o.Left + Width(o) && y >= o.Top && y <= o.Top + Height(o)) return o;
  }
  return null;
}

function Select(o:Object):Void {
  gSelected = o;
  DrawSelection();
  SyncSelection();
}

// Tells the editor where the selected object is now.
function SendPlace():Void {
  if (gSelected == null) return;
  Send("CMD_ShapeMove_Left", gSelected.Left);
  Send("CMD_ShapeMove_Top", gSelected.Top);
  Send("CMD_Shape_Width", Width(gSelected));
  Send("CMD_Shape_Height", Height(gSelected));
}

function Press(right:Boolean):Void {
  var x:Number = Math.round(_root._xmouse), y:Number = Math.round(_root._ymouse);
  var handle:Number = right ? -1 : HandleAt(x, y);
  var o:Object = handle >= 0 ? gSelected : ObjectAt(x, y);
  if (o != gSelected) Select(o);
  if (o == null) {
    gDrag = null;
    Send("CMD_MENU", 0);
    return;
  }
  if (!right) {
    gDrag = {Handle: handle, X: x, Y: y, Left: o.Left, Top: o.Top, Width: Width(o), Height: Height(o)};
  }
  Send("CMD_MENU", 1);
  SendPlace();
}

function Drag():Void {
  if (gDrag == null || gSelected == null) return;
  var dx:Number = Math.round(_root._xmouse) - gDrag.X, dy:Number = Math.round(_root._ymouse) - gDrag.Y;
  var o:Object = gSelected;
  var h:Number = gDrag.Handle;
  if (h < 0) {
    o.Left = gDrag.Left + dx;
    o.Top = gDrag.Top + dy;
  } else {
    // The dragged corner moves; the opposite one stays.
    var left:Number = gDrag.Left, top:Number = gDrag.Top;
    var right:Number = gDrag.Left + gDrag.Width, bottom:Number = gDrag.Top + gDrag.Height;
    if (h == 0 || h == 3) left = Math.min(left + dx, right - 1);
    else right = Math.max(right + dx, left + 1);
    if (h == 0 || h == 1) top = Math.min(top + dy, bottom - 1);
    else bottom = Math.max(bottom + dy, top + 1);
    o.Left = left;
    o.Top = top;
    o.Width = right - left;
    o.Height = bottom - top;
  }
  Place(o);
  Send("CMD_ShapeMove_Left", o.Left);
  Send("CMD_ShapeMove_Top", o.Top);
  if (h >= 0) {
    Send("CMD_Shape_Width", o.Width);
    Send("CMD_Shape_Height", o.Height);
  }
}

var gMouse:Object = new Object();
gMouse.onMouseDown = function() {
  Press(false);
};
gMouse.onMouseMove = function() {
  Drag();
  updateAfterEvent();
};
gMouse.onMouseUp = function() {
  // The release's own position counts (its last move may not have come).
  Drag();
  gDrag = null;
};
Mouse.addListener(gMouse);

// The right button has no event of its own: its key state is watched.
_root.onEnterFrame = function() {
  var down:Boolean = Key.isDown(2);
  if (down && !gRightDown) Press(true);
  gRightDown = down;
};

ExternalInterface.addCallback("GetVariable", null, GetStageVariable);
ExternalInterface.addCallback("SetVariable", null, SetStageVariable);
ExternalInterface.addCallback("Background_FillColor", null, FillColor);
ExternalInterface.addCallback("Background_FillImage", null, FillImage);
