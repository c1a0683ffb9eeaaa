#pragma once

#include "search/found_entries.h"

#include <QAbstractTableModel>

// The found entries as a table of two columns, folder (0) and name (1), one
// row per entry; List1 shows the first column and List2 the second. The
// entries are held once and handed on to step 2 as they are.
class FoundEntriesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FolderColumn = 0, NameColumn = 1 };

    using QAbstractTableModel::QAbstractTableModel;

    const FoundEntries &entries() const { return found; }
    void setEntries(FoundEntries entries);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    FoundEntries found;
};
