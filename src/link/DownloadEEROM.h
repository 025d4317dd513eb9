#pragma once

#include "link/UploadEEROM.h"

// The download (PC to device) sender of the image.
class TDownloadEEROM : public TUploadEEROM
{
public:
    TDownloadEEROM() = default;
};
