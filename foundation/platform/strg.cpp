// Stands in for the runtime's trailing-delimiter routine, for any character (the program-folder routine ends its path with it; QDir has no such routine), and for its Trim, which QString::trimmed is not: that keeps control characters and takes Unicode spaces.
#include "strg.h"

void IncludeTrailingChar(QString &S, QChar C)
{
    if (S.isEmpty() || S.back() != C)
        S += C;
}

QString TrimText(const QString &S)
{
    qsizetype first = 0;
    qsizetype last = S.size();
    while (first < last && S.at(first).unicode() <= u' ')
        ++first;
    while (last > first && S.at(last - 1).unicode() <= u' ')
        --last;
    return S.mid(first, last - first);
}
