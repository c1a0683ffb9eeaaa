#pragma once

#include <QIdentityProxyModel>

// One column of a table model as a list of its own. A list view over a table
// shows one column, but offers assistive technology every column of each row;
// over this model it offers only the column it shows.
class ColumnListModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    ColumnListModel(QAbstractItemModel *source, int column, QObject *parent);

    int columnCount(const QModelIndex &parent = {}) const override;
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    // An index of another column than this list's maps to no index.
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;

private:
    const int sourceColumn;
};
