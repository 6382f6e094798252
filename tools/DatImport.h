#pragma once

#include <QString>

#include <functional>

class TZTConnection;

struct DatImportResult
{
    int files = 0; // the ".dat" files imported
    int rides = 0;
};

namespace DatImport {

// Appends the rides of every ".dat" file of `folder` (not its subfolders,
// nor hidden files) to Uscite, in date order of the files. The whole run is
// one transaction: a bad file or line, or a database failure, stores nothing
// and throws Exception, whose message for a file's fault is
// 'File "042004.dat", riga 3: ' and the reason (no line for a fault of the
// whole file), and for the database's its ZTADO text.
// `fileStarted` is told the name of each file as its turn comes.
DatImportResult ImportFolder(TZTConnection& connection, const QString& folder,
                             const std::function<void(const QString& fileName)>& fileStarted = {});

}
