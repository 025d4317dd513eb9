#pragma once

#include "link/PrintEEROM.h"

// The one configuration image the program creates; it has every layer.
class TEEROM : public TPrintEEROM
{
public:
    TEEROM() = default;
};
