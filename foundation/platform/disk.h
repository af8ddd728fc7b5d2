// Stands in for the platform's program-folder and ini-file routines; QSettings cannot keep the file as the system writes it (it rewrites it whole, sorted, with case-sensitive keys and its own escapes, and drops comments).
#pragma once

#include "foundation_export.h"

#include <QString>
#include <cstdint>

// The running program's folder with one trailing "/". Inside a module
// library this is the host program's folder. Not cached: callers ask each
// time they build a path.
FOUNDATION_EXPORT QString GetExecPath();

// The integer under Key in Section of the ini file FileName, or Default when
// the file, the section or the key is missing, the value is not an integer
// (a "0x" prefix reads as hexadecimal), or the file cannot be read. Section
// and key names are compared without regard to case. Never fails.
FOUNDATION_EXPORT int32_t ReadIniInteger(const QString &FileName, const QString &Section,
                                         const QString &Key, int32_t Default);

// Stores Value as decimal text under Key in Section, creating the file and
// the section when they are missing and keeping every other line. A write
// that cannot be done (no permission, a full disk, an unreadable file, a
// pipe or a device in its place, a name that would break the file's lines)
// leaves the file as it was; false then.
FOUNDATION_EXPORT bool WriteIniInteger(const QString &FileName, const QString &Section,
                                       const QString &Key, int32_t Value);
