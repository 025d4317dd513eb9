#include "platform/WindowPlacement.h"

#include "platform/RegistryStore.h"

#include <QtEndian>

#include <climits>

namespace WindowPlacement {

QByteArray encodeBounds(const QRect &bounds)
{
    QByteArray bytes(16, '\0');
    const qint32 values[4] = {bounds.left(), bounds.top(), bounds.left() + bounds.width(), bounds.top() + bounds.height()};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(values[i], bytes.data() + 4 * i);
    return bytes;
}

bool decodeBounds(const QByteArray &bytes, QRect &bounds)
{
    if (bytes.size() != 16)
        return false;
    qint32 v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = qFromLittleEndian<qint32>(bytes.constData() + 4 * i);
    // A width or height that is not positive (or would overflow) is no window.
    const qint64 width = qint64(v[2]) - v[0];
    const qint64 height = qint64(v[3]) - v[1];
    if (width <= 0 || height <= 0 || width > INT_MAX / 2 || height > INT_MAX / 2)
        return false;
    bounds = QRect(v[0], v[1], int(width), int(height));
    return true;
}

int nearestMonitor(const QRect &rect, const QList<QRect> &screens)
{
    int best = 0;
    qint64 bestArea = -1;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect common = screens[i].intersected(rect);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    if (bestArea > 0)
        return best;
    // No overlap: the screen whose edge is closest to the rectangle's centre.
    qint64 bestDistance = -1;
    const QPoint c = rect.center();
    for (int i = 0; i < screens.size(); ++i) {
        const QRect &s = screens[i];
        const qint64 dx = c.x() < s.left() ? s.left() - c.x() : c.x() > s.right() ? c.x() - s.right() : 0;
        const qint64 dy = c.y() < s.top() ? s.top() - c.y() : c.y() > s.bottom() ? c.y() - s.bottom() : 0;
        const qint64 d = dx * dx + dy * dy;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

Stored read(RegistryStore &store, const QString &key)
{
    Stored s;
    if (!store.valueExists(key, kPosSize))
        return s;
    switch (store.valueType(key, kPosSize)) {
    case RegistryStore::ValueType::String:
        // An older program kept the placement as text: it goes, the window keeps its bounds.
        store.deleteValue(key, kPosSize);
        return s;
    case RegistryStore::ValueType::Binary:
        break;
    default:
        s.problem = QStringLiteral("\"%1\" is neither text nor binary").arg(kPosSize);
        return s;
    }
    QRect bounds;
    if (!decodeBounds(store.readBinary(key, kPosSize).value_or(QByteArray()), bounds)) {
        s.problem = QStringLiteral("\"%1\" does not hold 16 bytes of a window rectangle").arg(kPosSize);
        return s;
    }
    State state = Normal;
    if (store.valueExists(key, kState)) {
        const auto bytes = store.valueType(key, kState) == RegistryStore::ValueType::Binary
                               ? store.readBinary(key, kState) : std::nullopt;
        if (!bytes || bytes->size() != 1 || quint8(bytes->at(0)) > Maximised) {
            s.problem = QStringLiteral("\"%1\" does not hold one byte 0, 1 or 2").arg(kState);
            return s;
        }
        state = State(quint8(bytes->at(0)));
    }
    s.present = true;
    s.bounds = bounds;
    s.state = state;
    s.monitor = int(qMin<quint32>(store.readDWord(key, kMonitor).value_or(0), INT_MAX));
    return s;
}

Restore plan(const Stored &stored, const QList<QRect> &screens)
{
    Restore r;
    if (!stored.present)
        return r;
    r.state = stored.state;
    QRect desktop;
    for (const QRect &s : screens)
        desktop = desktop.united(s);
    if (stored.state == Maximised) {
        r.maximiseOn = true;
        r.screen = stored.monitor < screens.size() ? stored.monitor : 0;
        // Un-maximising brings back the stored size on that screen.
        if (r.screen < screens.size()) {
            r.setBounds = true;
            r.bounds = QRect(screens[r.screen].topLeft(), stored.bounds.size());
        }
    } else if (stored.state == Normal && stored.bounds.intersects(desktop)) {
        r.setBounds = true;
        r.bounds = stored.bounds;
    }
    return r;
}

bool store(RegistryStore &registry, const QString &key, const QRect &bounds, State state, const QList<QRect> &screens,
           QString *error)
{
    RegistryStore::Batch batch;
    batch.createKey(key);
    if (state == Normal) {
        // The string layout of older programs goes before the binary value replaces it.
        if (registry.valueType(key, kPosSize) == RegistryStore::ValueType::String)
            batch.deleteValue(key, kPosSize);
        batch.writeBinary(key, kPosSize, encodeBounds(bounds));
    }
    batch.writeBinary(key, kState, QByteArray(1, char(state)));
    batch.writeDWord(key, kMonitor, quint32(nearestMonitor(bounds, screens)));
    if (registry.apply(batch))
        return true;
    if (error)
        *error = registry.lastError();
    return false;
}

} // namespace WindowPlacement
