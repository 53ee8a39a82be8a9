// The loading-bar stage of the theme editor: the loading background and the
// bar, which the user moves and resizes. The editor sets the bar's place
// through PLoadingBar.SelectObject.
#include "stage_common.as"

var PLoadingBar:Object = new Object();
PLoadingBar.Bar = null;
PLoadingBar.SelectObject = new Object();

PLoadingBar.SelectObject.Changed = function(key:String) {
  var bar:Object = PLoadingBar.Bar;
  if (bar == null) return;
  var value:Number = Number(PLoadingBar.SelectObject[key]);
  if (isNaN(value)) return;
  if (key == "Left" || key == "Top" || key == "Width" || key == "Height") {
    bar[key] = value;
    Place(bar);
  }
};

function SyncSelection():Void {
  var bar:Object = PLoadingBar.Bar;
  var s:Object = PLoadingBar.SelectObject;
  s.Left = bar == null ? 0 : bar.Left;
  s.Top = bar == null ? 0 : bar.Top;
  s.Width = bar == null ? 0 : Width(bar);
  s.Height = bar == null ? 0 : Height(bar);
}

// The bar at (left, top) at its own size until the editor sets another.
function AddLoadingBar(path:String, left, top, height):Void {
  if (PLoadingBar.Bar != null) RemoveObject(PLoadingBar.Bar);
  PLoadingBar.Bar = MakeObject("bar", path, gNextDepth++, Number(left), Number(top), undefined, undefined);
  Select(PLoadingBar.Bar);
}

SyncSelection();
ExternalInterface.addCallback("AddLoadingBar", null, AddLoadingBar);
