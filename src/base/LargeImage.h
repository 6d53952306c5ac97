#pragma once
// Images too large for the ordinary allocator to be cheap: a stitched page of
// 100 MB and more. Fresh memory costs a page fault per 4 KB page on these
// machines (about 2.5 ms a MB), which would cost more than the stitching;
// memory that the kernel may back with huge pages costs a fraction of that.

#include <QImage>

namespace vistrel {

// A new image of that size and format, uninitialised; the null image when
// the memory cannot be had. Small images come from the ordinary allocator.
QImage makeLargeImage(int width, int height, QImage::Format format);

}  // namespace vistrel
