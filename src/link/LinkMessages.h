#pragma once

#include <QEvent>
#include <QtGlobal>

// The session's messages. Their numbers are the program's fixed message numbers (all above
// QEvent::User, so they serve as event types as they stand).
//   WM_WAITINGFORCOM  -> session: wParam 0 stop waiting; 2, 3, 4 start waiting (read error,
//                        other error, port missing)
//   WM_COMSTATE       session -> main window: wParam the waiting count (2 with lParam 50/60),
//                        lParam 0 online, 10 port closed, 50 port held by another program,
//                        55 the user may not open the device file (permission denied),
//                        60 another copy of the program waits for this port
//   WM_REOPENCOM      -> session: wParam 0 re-open the port, 1 forget doComOpen
enum TLinkMessageNumber : int {
    WM_WAITINGFORCOM = 0x4C8,
    WM_COMSTATE = 0x4C9,
    WM_REOPENCOM = 0x4CA,
};

// lParam values of WM_COMSTATE.
enum TComStateCode : int {
    comStateOnline = 0,
    comStateClosed = 10,
    comStateInUse = 50,
    comStateNoPermission = 55, // not a lock: the device file refuses this user
    comStateOtherCopyWaits = 60,
};

// A message as an event: post or send it to the session (QCoreApplication::postEvent /
// sendEvent) the way a window message is posted or sent.
class TLinkMessage : public QEvent
{
public:
    TLinkMessage(int message, qintptr wParam, qintptr lParam)
        : QEvent(QEvent::Type(message)), WParam(wParam), LParam(lParam)
    {
    }
    int Msg() const { return int(type()); }
    qintptr WParam;
    qintptr LParam;
};
