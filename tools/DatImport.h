#pragma once

#include <QString>

#include <functional>
#include <optional>

class TZTConnection;

// Where and why an import stopped.
struct DatImportFailure
{
    QString fileName; // empty when no file was at fault (the database refused the run)
    int line = 0;     // 1-based; 0 when the fault is not in a line
    QString reason;

    // 'File "042004.dat", riga 3: ' followed by the reason.
    QString Message() const;
};

struct DatImportResult
{
    int files = 0; // the ".dat" files imported
    int rides = 0;
    std::optional<DatImportFailure> failure; // when set, nothing of the run was stored
};

namespace DatImport {

// Appends the rides of every ".dat" file of `folder` (not its subfolders,
// nor hidden files) to Uscite, in date order of the files. The whole run is
// one transaction: a bad file or line, or a database failure, stores nothing.
// `fileStarted` is told the name of each file as its turn comes.
DatImportResult ImportFolder(TZTConnection& connection, const QString& folder,
                             const std::function<void(const QString& fileName)>& fileStarted = {});

}
