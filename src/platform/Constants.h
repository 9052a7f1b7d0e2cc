#pragma once

#include <QString>
#include <QStringList>

struct Edition;

// The application's names and its per-user folder.
struct StringUtilities {
    // The display name, followed by `suffix` when one is given.
    static QString getAppTitle(const Edition& edition, const QString& suffix = {});

    // The edition's per-user folder (e.g. ~/.local/share/Quorlen/Pictavo2);
    // "" when the user's data folder cannot be determined, so that callers
    // resolve against the working directory.
    static QString getAppPath(const Edition& edition);

    // getAppPath() joined with `subfolder` ("" for the folder itself).
    static QString appSubfolderPath(const Edition& edition, const QString& subfolder);

    // Makes sure getAppPath()/subfolder exists as a directory. A plain file in
    // the way is left alone and the call fails; `error` then says why.
    static bool createApplicationUsersFolder(const Edition& edition, const QString& subfolder,
                                             QString* error = nullptr);

    // The maker's web site, without a trailing "/": the reserved
    // "http://www.quorlen.example", or PICTAVO_SITE_URL when set (tests point
    // it at a local server).
    static QString siteAddress();

    // The file "<name>.<type>" ("<name>" when `type` is empty) installed with
    // the program: beside the executable (the build tree), else in
    // "<executable's folder>/../share/pictavo" (an installed prefix). "" when
    // neither holds it.
    static QString pathForResource(const QString& name, const QString& type);
    // The same search in `folders`, in their order; the absolute path of the
    // first regular file found.
    static QString pathForResource(const QString& name, const QString& type,
                                   const QStringList& folders);

    // The current date and time in the ICU date pattern `pattern`.
    static QString getStringFromDateFormat(const QString& pattern);
};
