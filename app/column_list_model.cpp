#include "app/column_list_model.h"

ColumnListModel::ColumnListModel(QAbstractItemModel *source, int column, QObject *parent)
    : QIdentityProxyModel(parent), sourceColumn(column)
{
    setSourceModel(source);
}

int ColumnListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QModelIndex ColumnListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || column != 0 || row < 0 || row >= rowCount())
        return {};
    return createIndex(row, 0);
}

QModelIndex ColumnListModel::parent(const QModelIndex &) const
{
    return {};
}

QModelIndex ColumnListModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel())
        return {};
    return sourceModel()->index(proxyIndex.row(), sourceColumn);
}

QModelIndex ColumnListModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.column() != sourceColumn)
        return {};
    return createIndex(sourceIndex.row(), 0);
}
