// Stands in for the runtime's trailing-delimiter routine, for any character (the program-folder routine ends its path with it; QDir has no such routine), and for its Trim, which QString::trimmed is not: that keeps control characters and takes Unicode spaces.
#pragma once

#include "foundation_export.h"

#include <QChar>
#include <QString>

// Appends C to S unless S already ends in C; an empty S becomes C.
FOUNDATION_EXPORT void IncludeTrailingChar(QString &S, QChar C);

// S without the blanks and control characters (every character up to U+0020)
// at either end; those between other characters stay.
FOUNDATION_EXPORT QString TrimText(const QString &S);
