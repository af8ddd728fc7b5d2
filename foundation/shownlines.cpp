// What the message pane shows of a program's text.
#include "shownlines.h"

#include <algorithm>

using namespace ShownLines;

namespace {

// 995904 as "995,904", the same in every locale, as the engine's other
// messages read.
QString Grouped(qint64 AValue)
{
    QString Digits = QString::number(AValue);
    for (qsizetype I = Digits.size() - 3; I > 0; I -= 3)
        Digits.insert(I, QLatin1Char(','));
    return Digits;
}

// The length of the line break at AAt (CR LF, LF or CR), 0 for none.
qsizetype BreakAt(const QString &AText, qsizetype AAt)
{
    if (AAt >= AText.size())
        return 0;
    if (AText[AAt] == u'\n')
        return 1;
    if (AText[AAt] == u'\r')
        return AAt + 1 < AText.size() && AText[AAt + 1] == u'\n' ? 2 : 1;
    return 0;
}

// The end of the line that starts at AFrom.
qsizetype LineEnd(const QString &AText, qsizetype AFrom)
{
    const QChar *P = AText.constData();
    const qsizetype N = AText.size();
    while (AFrom < N && P[AFrom] != u'\n' && P[AFrom] != u'\r')
        ++AFrom;
    return AFrom;
}

// The characters of AText from AFrom to ATo, a pair of surrogates counted once.
qint64 Characters(const QString &AText, qsizetype AFrom, qsizetype ATo)
{
    qint64 N = 0;
    for (const QChar *P = AText.constData() + AFrom, *E = AText.constData() + ATo; P < E; ++P)
        N += !P->isLowSurrogate();
    return N;
}

} // namespace

QString CutForShowing(const QString &AText)
{
    QString Out; // stays null while nothing is cut
    qsizetype Copied = 0; // AText before this is in Out
    qsizetype Line = 0;
    for (qsizetype Start = 0;; ++Line) {
        const qsizetype End = LineEnd(AText, Start);
        const qsizetype Break = BreakAt(AText, End);
        // What the lines before this one take, and this one as shown. A short
        // last line is left alone: it may be the note of an earlier cut.
        const qsizetype Before = (Out.isNull() ? 0 : Out.size()) + Start - Copied;
        const bool Full = Line > 0 && Before + std::min(End - Start, KLongestLine) > KMostChars
                          && (Break > 0 || End - Start > KNoteRoom);
        if ((Line == KMostLines - 1 && Break > 0) || Full) {
            // More lines follow than the pane shows of one message.
            qint64 More = 1;
            for (qsizetype I = End; I < AText.size(); ++More)
                I = LineEnd(AText, I + BreakAt(AText, I));
            Out += QStringView(AText).mid(Copied, Start - Copied);
            Out += QStringLiteral("… (%1 more lines not shown)").arg(Grouped(More));
            return Out;
        }
        if (End - Start > KLongestLine) {
            qsizetype Kept = KKeptChars;
            if (AText[Start + Kept - 1].isHighSurrogate())
                --Kept; // never half a character
            Out += QStringView(AText).mid(Copied, Start + Kept - Copied);
            Out += QStringLiteral("… (%1 more characters not shown)").arg(Grouped(Characters(AText, Start + Kept, End)));
            Copied = End;
        }
        if (Break == 0)
            break;
        Start = End + Break;
    }
    if (Out.isNull())
        return AText;
    Out += QStringView(AText).mid(Copied);
    return Out;
}
