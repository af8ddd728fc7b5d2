// Stands in for the runtime's trailing-delimiter routine, for any character; the program-folder routine ends its path with it. QDir has no such routine.
#include "strg.h"

void IncludeTrailingChar(QString &S, QChar C)
{
    if (S.isEmpty() || S.back() != C)
        S += C;
}
