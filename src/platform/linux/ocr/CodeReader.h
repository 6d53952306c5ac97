#pragma once
// QR codes and the other 2D and linear bar codes ZXing-cpp reads.

#include <QImage>

#include <vector>

#include "platform/TextRecognizer.h"

namespace vistrel::desktop::ocr {

// Every valid symbol in the image, top to bottom, then left to right.
// Throws what ZXing throws (std::exception) on an image it cannot take.
std::vector<platform::DecodedCode> readCodes(const QImage& image);

}  // namespace vistrel::desktop::ocr
