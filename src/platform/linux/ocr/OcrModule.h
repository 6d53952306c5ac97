#pragma once
// The contract between the program and its reading module, libvistrel-ocr.so
// (Tesseract and ZXing-cpp), which the program loads on first use. Both sides
// are built together by the same compiler, so C++ types may cross.

#include "platform/TextRecognizer.h"

namespace vistrel::desktop::ocr {

inline constexpr char kModuleFileName[] = "libvistrel-ocr.so";
inline constexpr char kEntryPoint[] = "vistrel_ocr_make_recognizer";

}  // namespace vistrel::desktop::ocr

// The module's one exported function: a new recognizer, owned by the caller,
// or null when it cannot be made. It reads text on up to `readers` threads
// at once, one per core when `readers` < 1. The model is loaded by the first request
// for text, not here. Never throws. The module must stay loaded while any
// recognizer it made is alive.
extern "C" vistrel::platform::TextRecognizer* vistrel_ocr_make_recognizer(int readers);
