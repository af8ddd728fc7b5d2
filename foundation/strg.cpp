#include "strg.h"

void IncludeTrailingChar(QString &S, QChar C)
{
    if (S.isEmpty() || S.back() != C)
        S += C;
}
