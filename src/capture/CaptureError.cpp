#include "capture/CaptureError.h"

namespace vistrel {

CaptureException::CaptureException(CaptureError error)
    : error_(error),
      description_("The operation couldn\u2019t be completed. (Vistrel.CaptureError error " +
                   std::to_string(int(error)) + ".)") {}

}  // namespace vistrel
