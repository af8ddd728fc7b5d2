#pragma once

// How an error is shown to the learner: the line of the program it belongs
// to, a plain message and the text of that line (the pane's "ErrorText").
// Reports are cut as the pane shows them (CutForShowing), before they are
// queued.
#include <QJSValue>
#include <QString>
#include <QStringList>

class QJSEngine;

struct TErrorReport
{
    int Line = -1; // -1: no line of the program
    QString Message;
    QString Text;
};

// The file name the program is evaluated under, so that its frames can be
// told from the engine's own.
extern const QString KProgramFile;

// The program's lines, split at every line break the engine counts.
QStringList ProgramLines(const QString &ACode);

// Turns an error that evaluate() returned into its report. ATrace is the
// stack trace evaluate() gave with it; AWholeProgram is true when the whole
// program text was evaluated (not a call of one of its functions).
TErrorReport DiagnoseError(const QJSValue &AError, const QStringList &ATrace, const QStringList &ALines,
                           bool AWholeProgram);

// The stack of AError, thrown out of a function the engine called, as the
// frames evaluate() gives; empty for a thrown value that is not an error.
QStringList ErrorTrace(const QJSValue &AError);

// A report that the engine makes itself, on ALine (or -1).
TErrorReport ReportOn(int ALine, const QString &AMessage, const QStringList &ALines);

// The line of the program that the script running in AEngine is on, from a
// stack taken here; -1 outside the program's own code.
int CurrentLine(QJSEngine *AEngine);
