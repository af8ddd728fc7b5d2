#pragma once

#include "framebase.h"
#include "kbhost_export.h"

#include <QFrame>
#include <QString>
#include <QStringList>
#include <Qsci/qsciscintilla.h>
#include <stdexcept>

class QsciLexerJavaScript;
class TValueList;

// A text file that cannot be read or written; the message names the file
// and says why.
class KBHOST_EXPORT EFileError : public std::runtime_error
{
public:
    explicit EFileError(const QString &AMessage);
    QString Message() const { return QString::fromUtf8(what()); }
};

// The source editor: a QScintilla editor that also moves End to the last
// non-blank character first and lets Tab line up under the next word of the
// line above, as the learners' editor always has.
class KBHOST_EXPORT TSourceEditor : public QsciScintilla
{
    Q_OBJECT

public:
    explicit TSourceEditor(QWidget *AParent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *AEvent) override;

private:
    bool EnhancedEnd(bool AExtend);
    bool SmartTab();
};

// The editor's line list, the one way the rest of the host reaches the
// editor's text. A text's final line break ends its last line; it does not
// start an empty one.
class KBHOST_EXPORT TEditorLines
{
public:
    // Files larger than this are refused rather than loaded into the editor.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    explicit TEditorLines(QsciScintilla *AEditor) : FEditor(AEditor) {}

    int Count() const;
    QString Strings(int AIndex) const;
    QStringList ToStringList() const;

    // The lines joined with CR LF between them, none after the last.
    QString Text() const;
    // Loading a text (SetText, Clear, LoadFromFile) or saving it makes the
    // editor unchanged; typing changes it.
    void SetText(const QString &AText);
    void Clear();
    // Changed since the text was last loaded or saved.
    bool Modified() const;

    // Reads a regular file as UTF-8 (a byte-order mark is skipped), else as
    // CP949, the Korean Windows code page, replacing all lines. Throws
    // EFileError and leaves the editor as it was when the file is not a
    // regular file, cannot be read, is too large or is text in neither.
    void LoadFromFile(const QString &AFileName);
    // Writes every line followed by a line feed, as UTF-8, replacing the file
    // only once the whole text is written; in a folder that takes no new
    // file, a writable file is written in place. Throws EFileError on
    // failure.
    void SaveToFile(const QString &AFileName) const;

    static QStringList SplitLines(const QString &AText);

private:
    void SetLines(const QStringList &ALines);

    QsciScintilla *FEditor;
};

// The editor frame: the source editor, shown in module mode only.
class KBHOST_EXPORT TfrEditor : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrEditor(QWidget *AOwner = nullptr);
    ~TfrEditor() override;

    TEditorLines &Lines() { return FLines; }

    // The whole program of a lesson or the game; no "Text" empties the editor.
    Q_INVOKABLE void rp_SetSourceCode(TValueList *AParams);
    // Visible exactly for "Module".
    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams);

    QsciLexerJavaScript *SynJScriptSyn = nullptr;
    TSourceEditor *moSrc = nullptr;
    QFrame *plClient = nullptr;

    static QStringList InitialLines();

private:
    TEditorLines FLines{nullptr};
};

// The host's one editor frame; null until the main window has made it.
extern KBHOST_EXPORT TfrEditor *GEditorFrame;

// The editor's whole text: its lines joined with CR LF between them, none
// after the last. Empty while there is no editor.
KBHOST_EXPORT QString EditorSourceText();

// "Courier New" at APixels, as the editor and the message pane draw text.
KBHOST_EXPORT QFont CodeFont(int APixels);

// Fills AFrame with a sunken client panel and returns it; AChild, made on
// that panel, fills it without a frame of its own.
QFrame *NewClientPanel(QFrame *AFrame);
void FillClientPanel(QFrame *APanel, QFrame *AChild);
