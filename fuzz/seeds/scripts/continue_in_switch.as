while (a) {
  switch (b) {
    case 1: continue;
  }
}
var s = new String();
if (a) {
    #include "missing.as"
}
