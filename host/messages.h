#pragma once

#include "framebase.h"
#include "kbhost_export.h"

#include <QFrame>
#include <QStringList>

class QsciScintilla;
class TValueList;

// The read-only message pane at the bottom of the main window: script errors
// and messages, shown with the splitter above it when a line arrives,
// cleared and hidden before each run and on the return to main mode.
class KBHOST_EXPORT TfrMessages : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrMessages(QWidget *AOwner = nullptr);
    ~TfrMessages() override;

    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams);
    Q_INVOKABLE void rp_CodeError(TValueList *AParams);
    Q_INVOKABLE void rp_ClearErrorMessage(TValueList *AParams);
    Q_INVOKABLE void rp_Message(TValueList *AParams);

    // For tests only: the lines that the pane shows.
    QStringList Lines() const;

    // The pane keeps this many of the newest lines, and drops the oldest
    // in steps of KDropStep beyond it, with a line at its top that says so.
    static constexpr qsizetype KKeptLines = 20000;
    static constexpr qsizetype KDropStep = 2000;
    // Lines wrap while the pane holds no more than this many.
    static constexpr qsizetype KWrappedLines = 2000;

    QFrame *plClient = nullptr;
    QsciScintilla *moMsg = nullptr;

private:
    void ShowPane();
    void AddLine(const QString &ALine);
    void TidyAfterBatch();
    void DropOldLines();

    qsizetype LineCount() const;

    // The control cannot tell an empty pane from one holding an empty line.
    bool FHoldsLines = false;
    qsizetype FDropped = 0;
    bool FTidyPending = false;
    bool FFollowing = true; // the view follows the newest line in this batch
};
