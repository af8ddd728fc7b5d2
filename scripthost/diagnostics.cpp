// How an error is shown to the learner: line, plain message and source text.
#include "diagnostics.h"

#include "shownlines.h"

#include <QJSEngine>
#include <QRegularExpression>
#include <vector>

const QString KProgramFile = QStringLiteral("program.js");

namespace {

// The program's lines named by the frames of ATrace, innermost first.
// Frames read "function:line:column:file"; the file itself may hold ':'.
std::vector<int> ProgramFrames(const QStringList &ATrace)
{
    std::vector<int> Lines;
    for (const QString &F : ATrace) {
        const QStringList P = F.split(QLatin1Char(':'));
        if (P.size() >= 4 && P.mid(3).join(QLatin1Char(':')).endsWith(KProgramFile)) {
            bool Ok = false;
            const int Line = P[1].toInt(&Ok);
            if (Ok && Line > 0)
                Lines.push_back(Line);
        }
    }
    return Lines;
}

bool IsStackOverflow(const QJSValue &AError)
{
    return AError.property(QStringLiteral("name")).toString() == QLatin1String("RangeError")
           && AError.property(QStringLiteral("message")).toString().contains(QLatin1String("call stack"));
}

int LineOf(const QStringList &ATrace, const QJSValue &AError)
{
    const std::vector<int> Frames = ProgramFrames(ATrace);
    if (!Frames.empty()) {
        // The engine raises an overflow on entry to the function that no
        // longer fits, which names its first line; the call that overflowed
        // is the frame below it.
        if (IsStackOverflow(AError) && Frames.size() >= 2)
            return Frames[1];
        return Frames[0];
    }
    if (AError.isError() && AError.property(QStringLiteral("fileName")).toString().endsWith(KProgramFile)) {
        const int Line = AError.property(QStringLiteral("lineNumber")).toInt();
        if (Line > 0)
            return Line;
    }
    return -1;
}

// The last line of the program that holds more than white space.
int LastCodeLine(const QStringList &ALines)
{
    for (qsizetype I = ALines.size(); I > 0; --I)
        if (!ALines[I - 1].trimmed().isEmpty())
            return int(I);
    return 0;
}

// The line of the innermost '{' that the program never closes, or -1.
// Braces count outside comments and string literals; regular expressions
// are not told apart, which only a brace inside one would notice.
int UnclosedBraceLine(const QStringList &ALines)
{
    std::vector<int> Open;
    enum { Code, LineComment, BlockComment, Text } Mode = Code;
    QChar Quote;
    for (qsizetype L = 0; L < ALines.size(); ++L) {
        const QString &T = ALines[L];
        if (Mode == LineComment)
            Mode = Code;
        for (qsizetype I = 0; I < T.size(); ++I) {
            const QChar C = T[I];
            const QChar Next = I + 1 < T.size() ? T[I + 1] : QChar();
            switch (Mode) {
            case Code:
                if (C == u'/' && Next == u'/') {
                    Mode = LineComment;
                } else if (C == u'/' && Next == u'*') {
                    Mode = BlockComment;
                    ++I;
                } else if (C == u'\'' || C == u'"' || C == u'`') {
                    Mode = Text;
                    Quote = C;
                } else if (C == u'{') {
                    Open.push_back(int(L + 1));
                } else if (C == u'}' && !Open.empty()) {
                    Open.pop_back();
                }
                break;
            case BlockComment:
                if (C == u'*' && Next == u'/') {
                    Mode = Code;
                    ++I;
                }
                break;
            case Text:
                if (C == u'\\')
                    ++I;
                else if (C == Quote)
                    Mode = Code;
                break;
            case LineComment:
                break;
            }
        }
        if (Mode == Text && Quote != u'`')
            Mode = Code; // a quote left open ends with its line
    }
    return Open.empty() ? -1 : Open.back();
}

} // namespace

QStringList ProgramLines(const QString &ACode)
{
    static const QRegularExpression LineBreak(QStringLiteral("\r\n|[\r\n\u2028\u2029]"));
    return ACode.split(LineBreak);
}

QStringList ErrorTrace(const QJSValue &AError)
{
    // The engine writes each frame as "function@file:line".
    QStringList Trace;
    const QString Stack = AError.isError() ? AError.property(QStringLiteral("stack")).toString() : QString();
    for (const QString &Frame : Stack.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype At = Frame.indexOf(QLatin1Char('@'));
        const qsizetype Colon = Frame.lastIndexOf(QLatin1Char(':'));
        if (At < 0 || Colon <= At)
            continue;
        Trace << Frame.left(At) + QLatin1Char(':') + Frame.mid(Colon + 1) + QStringLiteral(":-1:")
                     + Frame.mid(At + 1, Colon - At - 1);
    }
    return Trace;
}

TErrorReport ReportOn(int ALine, const QString &AMessage, const QStringList &ALines)
{
    return {ALine, CutForShowing(AMessage),
            ALine >= 1 && ALine <= ALines.size() ? CutForShowing(ALines[ALine - 1]) : QString()};
}

TErrorReport DiagnoseError(const QJSValue &AError, const QStringList &ATrace, const QStringList &ALines,
                           bool AWholeProgram)
{
    int Line = LineOf(ATrace, AError);
    QString Message = AError.toString();
    // Calling a misspelt method: the engine wraps the object's own complaint
    // in its "is not a function" text; the complaint alone says it plainly.
    static const QRegularExpression Wrapped(
        QStringLiteral("^TypeError: Property '[^']*' of object (TypeError: .* has no property \".*\") is not a function$"));
    if (const auto Match = Wrapped.match(Message); Match.hasMatch())
        Message = Match.captured(1);
    if (AWholeProgram && AError.property(QStringLiteral("name")).toString() == QLatin1String("SyntaxError")
        && Line > LastCodeLine(ALines)) {
        // The program ended inside a block: show the block that was never
        // closed, not the empty end of the text.
        if (const int Open = UnclosedBraceLine(ALines); Open > 0) {
            Line = Open;
            Message += QStringLiteral(" - the '{' on this line is never closed with '}'");
        }
    }
    return ReportOn(Line, Message, ALines);
}

int CurrentLine(QJSEngine *AEngine)
{
    const QJSValue Here = AEngine->newErrorObject(QJSValue::GenericError, QString());
    return LineOf(ErrorTrace(Here), Here);
}
