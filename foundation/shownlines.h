// What the message pane shows of a program's text: a line or a message long
// enough to freeze the pane's layout is cut, with a note of what was cut.
// The engine cuts before it queues the text and the pane cuts whatever it is
// given, so both use this one function.
#pragma once

#include "foundation_export.h"

#include <QString>

namespace ShownLines {

// A line up to KLongestLine characters is shown whole; a longer one keeps
// its first KKeptChars and ends with "… (N more characters not shown)". The
// difference is room for the note, so that a cut line is not cut again.
// The pane lays out and wraps each line it is given, at about a microsecond
// a character: a few dozen lines of this length arrive at once within the
// pane's 50 ms, and more than a few wrapped rows are no longer read anyway.
constexpr qsizetype KKeptChars = 1000;
constexpr qsizetype KLongestLine = 1100;
// A message of up to KMostLines lines, and of up to KMostChars characters
// as its lines are shown, is shown whole; one with more keeps the lines that
// fit (its first line always) and a last line "… (N more lines not shown)".
constexpr qsizetype KMostLines = 100;
constexpr qsizetype KMostChars = 10000;
// A last line this short stays, however full the message: the note above.
constexpr qsizetype KNoteRoom = 64;

} // namespace ShownLines

// AText as the pane shows it: cut as above at its line breaks (CR LF, LF or
// CR), which stay as they were; AText itself when nothing is cut. Cutting
// what was cut changes nothing.
FOUNDATION_EXPORT QString CutForShowing(const QString &AText);
