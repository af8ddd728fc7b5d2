#pragma once

#include "framebase.h"
#include "kbhost_export.h"
#include "scriptfile.h"

#include <QFrame>
#include <QString>
#include <QStringList>
#include <Qsci/qsciscintilla.h>
#include <functional>

class QsciLexerJavaScript;
class TValueList;

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

    // Replaces all lines by the script file's text (ReadScriptFile). Throws
    // EFileError and leaves the editor as it was when it cannot be read.
    void LoadFromFile(const QString &AFileName);
    // Writes every line followed by a line feed, as UTF-8 (WriteScriptFile).
    // Throws EFileError on failure.
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

    // Before the editor's text is replaced or the program ends: when the
    // text has changed since it was last loaded or saved, asks whether to
    // save it (Save, Discard, Cancel). True when the caller may go on: no
    // changes, Discard, or Save and the file was written. Cancel, a save
    // that was cancelled or failed, and a second request while the question
    // is open give false, and nothing has changed.
    bool QuerySaveChanges();

    // Saves the text where the learner chooses (the File menu's Save); true
    // when it was written. The main window, which holds the File menu, sets
    // it; without it Save saves nothing.
    std::function<bool()> OnSave;

    QsciLexerJavaScript *SynJScriptSyn = nullptr;
    TSourceEditor *moSrc = nullptr;
    QFrame *plClient = nullptr;

    static QStringList InitialLines();

private:
    TEditorLines FLines{nullptr};
    bool FAsking = false;
};

// The host's one editor frame; null until the main window has made it.
extern KBHOST_EXPORT TfrEditor *GEditorFrame;

// GEditorFrame's QuerySaveChanges; true while there is no editor.
KBHOST_EXPORT bool EditorMayBeReplaced();

// The editor's whole text: its lines joined with CR LF between them, none
// after the last. Empty while there is no editor.
KBHOST_EXPORT QString EditorSourceText();

// "Courier New" at APixels, as the editor and the message pane draw text.
KBHOST_EXPORT QFont CodeFont(int APixels);
// AEditor draws its text, margins included, without font smoothing, as the
// editor and the message pane do.
void NoFontSmoothing(QsciScintilla *AEditor);

// AText split at each line break: CR LF, LF or CR.
QStringList SplitAtLineBreaks(const QString &AText);

// Fills AFrame with a sunken client panel and returns it; AChild, made on
// that panel, fills it without a frame of its own.
QFrame *NewClientPanel(QFrame *AFrame);
void FillClientPanel(QFrame *APanel, QFrame *AChild);
