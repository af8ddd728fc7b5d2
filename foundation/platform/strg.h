// Stands in for the runtime's trailing-delimiter routine, for any character; the program-folder routine ends its path with it. QDir has no such routine.
#pragma once

#include "foundation_export.h"

#include <QChar>
#include <QString>

// Appends C to S unless S already ends in C; an empty S becomes C.
FOUNDATION_EXPORT void IncludeTrailingChar(QString &S, QChar C);
