// Sanitizer settings for programs that run Qt WebEngine in a sanitizer
// build. The Chromium inside libQt6WebEngineCore frees some objects through
// a base type of a different size, and keeps some objects until the process
// ends; neither is our code's fault, and neither can be fixed here. Those
// two reports are turned off for that library only: every other ASan,
// UBSan and leak check stays on for our own code. This file is compiled
// into each program that links the player control.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt6WebEngineCore.so\n"
         "leak:libfontconfig.so\n"
         // FFmpeg's demuxer, as Qt Multimedia's player uses it, keeps a few
         // option strings until the process ends.
         "leak:libavutil.so\n";
}
#endif
