#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>

class RegistryStore;

// Where the main window was when it last closed, as the settings store keeps it under the
// program's key: "WindowPosSize" (16 bytes: left, top, right, bottom, each a 32-bit signed
// little-endian integer, right and bottom exclusive), "WindowState" (1 byte: 0 normal,
// 1 minimised, 2 maximised) and "DefaultMonitor" (the number of the screen nearest to the
// bounds; screens are numbered in the order the window system lists them).
namespace WindowPlacement {

enum State : quint8 { Normal = 0, Minimised = 1, Maximised = 2 };

inline const QString kPosSize = QStringLiteral("WindowPosSize");
inline const QString kState = QStringLiteral("WindowState");
inline const QString kMonitor = QStringLiteral("DefaultMonitor");

QByteArray encodeBounds(const QRect &bounds);
// False unless bytes holds exactly 16 bytes.
bool decodeBounds(const QByteArray &bytes, QRect &bounds);

// The screen whose area shares the most with rect; without overlap the nearest one; 0 when
// there are no screens.
int nearestMonitor(const QRect &rect, const QList<QRect> &screens);

struct Stored
{
    bool present = false;  // a usable "WindowPosSize" was found
    QRect bounds;
    State state = Normal;
    int monitor = 0;
    // What was wrong with the stored values (ignored then); empty when all was well.
    QString problem;
};

// Reads the values under key. An old string layout of "WindowPosSize" is removed; values of
// the wrong type or size are reported in problem and ignored (the window keeps its designed
// bounds), never taken half.
Stored read(RegistryStore &store, const QString &key);

// What the window does with the stored values on this desktop.
struct Restore
{
    bool setBounds = false; // move and resize to bounds
    QRect bounds;
    State state = Normal;
    bool maximiseOn = false; // maximise on screen `screen`
    int screen = 0;
};
Restore plan(const Stored &stored, const QList<QRect> &screens);

// Stores the placement: the bounds only in the normal state (a maximised or minimised window
// keeps the last normal bounds stored), the state, and the screen nearest to the bounds.
// False with the store's reason in *error when it could not be written; nothing is written then.
bool store(RegistryStore &store, const QString &key, const QRect &bounds, State state,
           const QList<QRect> &screens, QString *error = nullptr);

} // namespace WindowPlacement
