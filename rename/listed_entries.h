#pragma once

#include "rename/entry_identity.h"

#include <QStringView>
#include <QtGlobal>

#include <vector>

// The entries step 1 listed, by the folder and name a row of the table names
// them by, each with the entry it was then: what tells an entry replaced
// since (deleted and made anew, or another moved to its name) from the one
// the user saw listed. Kept small, as it may hold a million entries: a
// path's hash and a digest of its identity, 16 bytes an entry.
class ListedEntries {
public:
    // Adds the entry listed as `folder` + `name`; an all-zero `id` (not
    // looked at) adds nothing. Call sort() once all are added.
    void add(QStringView folder, QStringView name, EntryId id);
    void sort();

    bool isEmpty() const { return entries.empty(); }

    // Whether the entry listed as `folder` + `name`, spelt exactly so, was
    // another than `now`. False for a path not listed, or listed twice with
    // different entries (two listings apart, which cannot both be meant).
    bool replacedSince(QStringView folder, QStringView name, EntryId now) const;

private:
    struct Listed {
        size_t path = 0;
        quint64 identity = 0;
        auto operator<=>(const Listed &) const = default;
    };
    static size_t pathHash(QStringView folder, QStringView name);
    static quint64 identityOf(EntryId id);
    std::vector<Listed> entries;
};
