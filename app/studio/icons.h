// The editor's icons, drawn with QPainter as simple line pictures in one
// colour, so that they stay sharp at any size and match each other.
#pragma once

#include <QColor>
#include <QIcon>

namespace yel::app {

enum class TIconKind {
  Photo, Effect, Theme, Setting, Publish,  // page buttons
  File, Save, Internet,                    // top band commands
  Minimize, Maximize, Restore, Close,      // window buttons
  AddPhoto, AddAll, Remove, RemoveAll,     // photo page tool bar
  Program                                  // the program's own icon
};

QIcon DrawIcon(TIconKind kind, const QColor& colour = QColor(0xE8, 0xEC, 0xF2));

}  // namespace yel::app
