#pragma once

#include "model/BaseEEROM.h"

// The upload (device to PC) receiver of the image.
class TUploadEEROM : public TBaseEEROM
{
public:
    TUploadEEROM() = default;
};
