#pragma once

#include "link/DownloadEEROM.h"

// Printing of the parameter list.
class TPrintEEROM : public TDownloadEEROM
{
public:
    TPrintEEROM() = default;
};
