#pragma once

#include <functional>

// Root of the objects that send notifications: the image and its parameters. A handler
// receives the sender, as the main window's handlers expect.
class TObject
{
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject *Sender)>;
