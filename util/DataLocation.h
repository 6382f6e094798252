#pragma once

#include <QString>

// Where the settings and the rides live. A program installed as a package
// (in a folder named "bin", with its templates in ../share/kilovento beside it)
// keeps them in the user's data folder, $XDG_DATA_HOME/kilovento, which is
// also the program folder `make run` installs, so both find the same log. Any
// other copy (that program folder itself, one on a USB key, a build) keeps
// them beside itself, named after it. Root can write anywhere, so the layout
// decides, not what is writable.
struct DataLocation
{
    QString settingsPath;
    QString databasePath;
    QString templateFolder; // empty for a copy that keeps its data beside itself

    bool Installed() const { return !templateFolder.isEmpty(); }

    // `xdgDataHome` and `home` as the environment has them (either may be empty).
    static DataLocation For(const QString& executablePath, const QString& xdgDataHome, const QString& home);
    static DataLocation ForThisProcess(const QString& executablePath);

    // An installed program's first start: the templates are copied where the
    // settings or the database are missing, each whole or not at all; a file
    // that exists is never replaced. Throws Exception when one cannot be made.
    void Prepare() const;
};
