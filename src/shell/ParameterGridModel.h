#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QVector>

#include <functional>

// The rows of the parameter grid as the main window's refreshGrid computes them: a name and
// a value per shown parameter, then blank rows. Grid row r of the window is model row r - 1;
// the fixed first row is the horizontal header.
class TParameterGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int BoldRole = Qt::UserRole + 1;

    struct Row {
        QString name;
        QString value;
        bool bold = false; // the value may be edited
    };

    explicit TParameterGridModel(QObject *parent = nullptr);

    // Replaces all rows: the filled ones, then blank rows up to rowCount.
    void setRows(QVector<Row> rows, int rowCount);
    void setHeader(const QString &name, const QString &value);
    // Empties every row (nothing loaded).
    void clear();

    const Row *row(int modelRow) const;
    int filledRows() const { return int(m_rows.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Whether there is an image to draw; without one the cells stay blank.
    std::function<bool()> hasImage;

private:
    QVector<Row> m_rows;
    int m_rowCount = 0;
    QString m_header[2];
};

// Draws the grid's cells: names on the fixed silver column, values on the grid colour,
// editable values bold, the selected cell in the system's highlight colours; text 2 pixels
// right and down from the cell's corner.
class TParameterGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
