// The template stage of the theme editor: the template's background, its
// photo frame around the photo window, and its decorative shapes. The
// editor reads and sets the selected object through PTemplate.SelectObject
// and walks the shapes through PTemplate.Index.
#include "stage_common.as"

var kFrameDepth:Number = 99;

var PTemplate:Object = new Object();
PTemplate.Shapes = new Array();
PTemplate.Frame = null;
PTemplate.ShapeCount = 0;
PTemplate.Index = 0;
PTemplate.ShapeFileName = "";
PTemplate.ShapeLeft = 0;
PTemplate.ShapeTop = 0;
PTemplate.ShapeWidth = 0;
PTemplate.ShapeHeight = 0;
PTemplate.SelectObject = new Object();

// Setting Index chooses the shape the Shape* variables describe.
PTemplate.Changed = function(key:String) {
  if (key != "Index") return;
  var shape:Object = PTemplate.Shapes[Number(PTemplate.Index)];
  PTemplate.ShapeFileName = shape == undefined ? "" : shape.FileName;
  PTemplate.ShapeLeft = shape == undefined ? 0 : shape.Left;
  PTemplate.ShapeTop = shape == undefined ? 0 : shape.Top;
  PTemplate.ShapeWidth = shape == undefined ? 0 : Width(shape);
  PTemplate.ShapeHeight = shape == undefined ? 0 : Height(shape);
};

// Setting Left, Top, Width or Height moves or resizes the selected object.
PTemplate.SelectObject.Changed = function(key:String) {
  if (gSelected == null) return;
  var value:Number = Number(PTemplate.SelectObject[key]);
  if (isNaN(value)) return;
  if (key == "Left" || key == "Top" || key == "Width" || key == "Height") {
    gSelected[key] = value;
    Place(gSelected);
  }
};

function ShapeIndex(o:Object):Number {
  for (var i:Number = 0; i < PTemplate.Shapes.length; i++) {
    if (PTemplate.Shapes[i] == o) return i;
  }
  return -1;
}

function SyncSelection():Void {
  var s:Object = PTemplate.SelectObject;
  s.IsPhotoFrame = gSelected != null && gSelected.Kind == "frame" ? "true" : "false";
  s.Left = gSelected == null ? 0 : gSelected.Left;
  s.Top = gSelected == null ? 0 : gSelected.Top;
  s.Width = gSelected == null ? 0 : Width(gSelected);
  s.Height = gSelected == null ? 0 : Height(gSelected);
  s.FileName = gSelected == null ? "" : gSelected.FileName;
  s.Index = gSelected == null ? -1 : ShapeIndex(gSelected);
}

// The photo window: where the album's photos show, 4 pixels inside the
// photo rectangle, in the stage's grey.
function DrawWindow(o:Object):Void {
  var window:MovieClip = _root.createEmptyMovieClip("mcWindow", kWindowDepth);
  if (o == null) return;
  var x:Number = o.Left + 4, y:Number = o.Top + 4, w:Number = Width(o) - 8, h:Number = Height(o) - 8;
  if (w <= 0 || h <= 0) return;
  window.beginFill(0x808080, 100);
  window.moveTo(x, y);
  window.lineTo(x + w, y);
  window.lineTo(x + w, y + h);
  window.lineTo(x, y + h);
  window.lineTo(x, y);
  window.endFill();
}

gOnPlaced = function(o:Object) {
  if (o.Kind == "frame") DrawWindow(o);
};

function CreatePhotoFrame(path:String, left, top, width, height):Void {
  if (PTemplate.Frame != null) RemoveObject(PTemplate.Frame);
  // The frame movie sizes itself to the photo rectangle.
  PTemplate.Frame = MakeObject("frame", path, kFrameDepth, Number(left), Number(top), Number(width), Number(height));
  // The object list keeps the frame under every shape.
  gObjects.pop();
  gObjects.unshift(PTemplate.Frame);
  Select(PTemplate.Frame);
}

function CreateShape(path:String, left, top, width, height):Void {
  var shape:Object = MakeObject("shape", path, gNextDepth++, Number(left), Number(top), Number(width), Number(height));
  PTemplate.Shapes.push(shape);
  PTemplate.ShapeCount = PTemplate.Shapes.length;
  Select(shape);
}

function DeleteShape(index):Void {
  var shape:Object = PTemplate.Shapes[Number(index)];
  if (shape == undefined) return;
  PTemplate.Shapes.splice(Number(index), 1);
  PTemplate.ShapeCount = PTemplate.Shapes.length;
  RemoveObject(shape);
  SyncSelection();
}

SyncSelection();
ExternalInterface.addCallback("Create_PhotoFrame", null, CreatePhotoFrame);
ExternalInterface.addCallback("Create_Shape", null, CreateShape);
ExternalInterface.addCallback("Delete_Shape", null, DeleteShape);
