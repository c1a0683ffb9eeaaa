#include "rename/listed_entries.h"

#include <QHashFunctions>

#include <algorithm>

size_t ListedEntries::pathHash(QStringView folder, QStringView name)
{
    // A fixed seed: the hashes must not depend on the process's random one.
    return qHashMulti(0, folder, name);
}

quint64 ListedEntries::identityOf(EntryId id)
{
    // Two entries of one device differ in their inodes, so differ here.
    return id.inode ^ (id.device * 0x9E3779B97F4A7C15ull);
}

void ListedEntries::add(QStringView folder, QStringView name, EntryId id)
{
    if (id != EntryId())
        entries.push_back({pathHash(folder, name), identityOf(id)});
}

void ListedEntries::sort()
{
    std::sort(entries.begin(), entries.end());
}

bool ListedEntries::replacedSince(QStringView folder, QStringView name, EntryId now) const
{
    const size_t path = pathHash(folder, name);
    const auto first = std::lower_bound(entries.begin(), entries.end(), Listed{path, 0});
    if (first == entries.end() || first->path != path)
        return false;
    const auto next = first + 1;
    if (next != entries.end() && next->path == path && next->identity != first->identity)
        return false;
    return first->identity != identityOf(now);
}
