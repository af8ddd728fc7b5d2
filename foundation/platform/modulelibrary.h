// Stands in for LoadLibraryW, GetProcAddress and FreeLibrary: QLibrary, with the hints that bind a library's imports at load and keep its symbols local.
#pragma once

#include "foundation_export.h"

#include <QLibrary>
#include <QString>

// One reference to a module library. Loads count as the platform counts
// them: the library leaves the process when every load has been freed, and
// a library built without unique symbols really goes then, so that it loads
// afresh next time. Dropping the object keeps what it loaded. The types that
// modules name from this library and from Qt are registered here before any
// module loads, so that no record of theirs goes with a module.
class FOUNDATION_EXPORT TModuleLibrary
{
public:
    TModuleLibrary();

    // Loads the library at APath (a full path), freeing the one held first;
    // false when the file is missing, is no library or lacks one of its own
    // imports.
    bool Load(const QString &APath);
    // This object holds a load (QLibrary::isLoaded tells of anyone's).
    bool IsLoaded() const { return FLoaded; }
    QString ErrorString() const { return FLibrary.errorString(); }

    // The exported function AName of the library held, as type T; nullptr
    // when there is none.
    template <class T>
    T Resolve(const char *AName)
    {
        return reinterpret_cast<T>(FLibrary.resolve(AName));
    }

    // Frees this object's load, if it holds one.
    void Free();

    // Keeps the library that holds the code at AAddress in the process for
    // the rest of its life, whatever frees it later.
    static void Pin(const void *AAddress);

    // For tests only: whether the library at APath is in the process right
    // now, whoever loaded it; loads nothing.
    static bool IsResident(const QString &APath);

private:
    QLibrary FLibrary;
    bool FLoaded = false;
};
