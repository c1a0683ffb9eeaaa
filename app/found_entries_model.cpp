#include "app/found_entries_model.h"

#include <limits>

void FoundEntriesModel::setEntries(FoundEntries entries)
{
    beginResetModel();
    found = std::move(entries);
    endResetModel();
}

void FoundEntriesModel::clear()
{
    setEntries({});
}

int FoundEntriesModel::rowCount(const QModelIndex &parent) const
{
    // A view counts rows in an int; entries past that are kept for step 2
    // but cannot be shown.
    if (parent.isValid())
        return 0;
    return int(std::min<qsizetype>(found.size(), std::numeric_limits<int>::max()));
}

int FoundEntriesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant FoundEntriesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= found.size())
        return {};
    return index.column() == FolderColumn ? found.folderPaths[index.row()] : found.fileNames[index.row()];
}
