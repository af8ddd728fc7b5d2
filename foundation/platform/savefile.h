// Stands in for the platform's file-replacing call (ReplaceFileW over a file written beside the old one) and its writes that fail past a file-size limit: a temporary file, fsync(2) and rename(2), a write in place that puts the old bytes back, and SIGXFSZ ignored.
#pragma once

#include "foundation_export.h"

#include <QByteArray>
#include <QString>

// Writes AData to AFileName so that the file holds either its old bytes whole
// or AData whole. A link is followed and its target replaced, never the link.
// The data goes to a temporary file beside the target, which takes the old
// file's permissions and is renamed over it once written and synced; only
// when the folder takes no new file is an existing writable file written in
// place, and then its old bytes and length are put back when the write fails.
// A target that is there but is not a regular file (a folder, a device, a
// pipe) is refused untouched. Returns an empty string on success, else why
// it failed: the system's text for the first failing call.
FOUNDATION_EXPORT QString SaveFileWhole(const QString &AFileName, const QByteArray &AData);

// Makes a write past the process's file-size limit fail with "File too
// large" rather than end the program with SIGXFSZ, unsaved text and all.
// For the whole process; the program calls it once at start.
FOUNDATION_EXPORT void IgnoreFileSizeSignal();
