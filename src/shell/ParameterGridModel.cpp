#include "shell/ParameterGridModel.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

TParameterGridModel::TParameterGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void TParameterGridModel::setRows(QVector<Row> rows, int rowCount)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_rowCount = qMax(rowCount, int(m_rows.size()));
    endResetModel();
}

void TParameterGridModel::setHeader(const QString &name, const QString &value)
{
    m_header[0] = name;
    m_header[1] = value;
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

void TParameterGridModel::clear()
{
    setRows({}, 0);
}

const TParameterGridModel::Row *TParameterGridModel::row(int modelRow) const
{
    return modelRow >= 0 && modelRow < m_rows.size() ? &m_rows[modelRow] : nullptr;
}

int TParameterGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int TParameterGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TParameterGridModel::data(const QModelIndex &index, int role) const
{
    const Row *r = row(index.row());
    if (!r)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? r->name : r->value;
    case BoldRole:
        return index.column() == 1 && r->bold;
    default:
        return {};
    }
}

QVariant TParameterGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < 2)
        return m_header[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TParameterGridModel::flags(const QModelIndex &index) const
{
    // Only value cells can be selected; names are the fixed column.
    if (index.column() == 1)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled;
}

void TParameterGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const TParameterGridModel *>(index.model());
    if (model && model->hasImage && !model->hasImage())
        return;
    const bool fixed = index.column() == 0;
    const bool selected = !fixed && (option.state & QStyle::State_Selected);
    const QPalette &pal = option.palette;
    QColor background = fixed ? QColor(192, 192, 192) : pal.color(QPalette::HighlightedText);
    QColor text = Qt::black;
    if (selected) {
        background = pal.color(QPalette::Highlight);
        text = pal.color(QPalette::HighlightedText);
    }
    painter->save();
    painter->fillRect(option.rect, background);
    QFont font = option.font;
    font.setBold(index.data(TParameterGridModel::BoldRole).toBool());
    painter->setFont(font);
    painter->setPen(text);
    const QRect textRect = option.rect.adjusted(2, 2, -2, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      QFontMetrics(font).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize TParameterGridDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QSize(150, 18);
}
