#pragma once

#include "kbhost_export.h"

#include <QString>
#include <QStringList>

// A home-page link split into its segments. The link is percent-decoded
// first (escaped bytes read as UTF-8), then split at every "/" with empty
// segments kept, so that in kb://a/b/M/S segment 4 is M and segment 5 is S.
class KBHOST_EXPORT TParams
{
public:
    TParams() = default;
    explicit TParams(const QString &AText);

    // Segment AIndex counted from 0; empty past the last one.
    QString GetString(int AIndex) const;
    // For tests only: the number of segments.
    int Count() const { return int(FParams.size()); }

    // Joins the segments with "/"; setting splits without decoding.
    QString Text() const { return FParams.join(QLatin1Char('/')); }
    void SetText(const QString &AText);

private:
    QStringList FParams;
};
