#pragma once

#include <QString>

#include <optional>

// What tells one directory entry from another however a path spells it: the
// device and the inode the entry stands on.
struct EntryIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const EntryIdentity &) const = default;
};

// The identity of the entry at `path` itself (a link, not what it points to).
// Nothing when there is no such entry or it cannot be looked at.
std::optional<EntryIdentity> entryIdentity(const QString &path);

// The identity of what `path` leads to, links followed. Nothing when there is
// nothing there or it cannot be looked at.
std::optional<EntryIdentity> resolvedIdentity(const QString &path);
