// Stands in for the platform's file-open and user-identity calls that the host makes (CreateFileW on a path, the elevated-token test): open(2) without waiting, fstat(2) and geteuid(2).
#pragma once

#include "foundation_export.h"

#include <QString>

// The outcome of opening a file to read it.
struct TOpenedFile
{
    int Handle = -1;         // an open descriptor, or -1
    bool NotRegular = false; // refused: a folder, a device or a pipe
    QString Error;           // why it could not be opened, when it is not refused
};

// Opens AFileName for reading when it is a regular file. Opened without
// waiting and tested on the open descriptor, so that neither a pipe nor a
// pipe swapped in after a test of the name can block; a device or a pipe
// would never end. The caller owns the descriptor.
FOUNDATION_EXPORT TOpenedFile OpenRegularFileForReading(const QString &AFileName);

// Whether the program runs as the superuser.
FOUNDATION_EXPORT bool RunsAsSuperuser();
