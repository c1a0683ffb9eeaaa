#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

// A private folder that the rename fuzzer may change, refilled before every
// input with the same few entries, names in raw file-system bytes.
class FuzzSandbox {
public:
    // Makes the folder under the temporary directory; aborts when it cannot.
    FuzzSandbox();
    ~FuzzSandbox();

    // The folder's path with a trailing "/".
    const QString &root() const { return rootText; }
    // Empties the folder and puts the starting entries back.
    void refill() const;
    // Every entry below the folder: path relative to it mapped to the file's
    // content, or to "<folder>" for a folder.
    std::map<QByteArray, QByteArray> snapshot() const;
    // Whether `path` names something strictly inside the folder once "." and
    // ".." are resolved as text; with no links inside, the system can reach
    // nothing else through such a path.
    bool encloses(const QString &path) const;

    // Names of the starting entries directly inside the folder, as the table
    // would show them.
    static const QStringList &startingNames();

private:
    QByteArray rootBytes;
    QString rootText;
};
