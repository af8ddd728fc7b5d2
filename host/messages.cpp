#include "messages.h"

#include "core.h"
#include "editorframe.h"
#include "mainform.h"
#include "packetcodes.h"
#include "shownlines.h"
#include "strg.h"
#include "valuelist.h"
#include "view.h"

#include <QTimer>
#include <QVBoxLayout>
#include <Qsci/qsciscintilla.h>

namespace {

QWidget *MainSplitter()
{
    return fmMain ? fmMain->Splitter : nullptr;
}

} // namespace

TfrMessages::TfrMessages(QWidget *AOwner)
    : QFrame(AOwner)
{
    setObjectName(QStringLiteral("frMessages"));
    plClient = NewClientPanel(this);
    moMsg = new QsciScintilla(plClient);
    moMsg->setObjectName(QStringLiteral("moMsg"));
    moMsg->setUtf8(true);
    moMsg->setFont(CodeFont(13));
    moMsg->setMarginsFont(CodeFont(11));
    NoFontSmoothing(moMsg);
    moMsg->setMarginWidth(0, 0);
    moMsg->setMarginWidth(1, 6);
    moMsg->setMarginWidth(2, 0);
    moMsg->setReadOnly(true);
    // Vertical scrolling only: long error texts wrap instead (up to
    // KWrappedLines lines).
    moMsg->SendScintilla(QsciScintilla::SCI_SETHSCROLLBAR, 0L);
    moMsg->setWrapMode(QsciScintilla::WrapWord);
    moMsg->setCaretLineVisible(false);
    // Nothing listens to the pane's changes, and the editor's handling of
    // each one costs time that grows with the text: a flood of lines would
    // freeze the host.
    moMsg->SendScintilla(QsciScintilla::SCI_SETMODEVENTMASK, 0L);
    FillClientPanel(plClient, moMsg);

    TCore::Obj()->View()->Add(this);
}

TfrMessages::~TfrMessages()
{
    TCore::Obj()->View()->Remove(this);
}

qsizetype TfrMessages::LineCount() const
{
    return FHoldsLines ? moMsg->lines() : 0;
}

QStringList TfrMessages::Lines() const
{
    if (!FHoldsLines)
        return {};
    return SplitAtLineBreaks(moMsg->text());
}

void TfrMessages::ShowPane()
{
    setVisible(true);
    if (QWidget *splitter = MainSplitter())
        splitter->setVisible(true);
}

void TfrMessages::AddLine(const QString &ALine)
{
    // Appending leaves the caret and the selection where the learner put
    // them, so a report can be selected and copied while a program prints.
    // The view follows the newest line only while the last one is in sight
    // when a batch of lines begins.
    if (!FTidyPending) {
        const int last = moMsg->lines() - 1;
        const int first = int(moMsg->SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE));
        const int shown = int(moMsg->SendScintilla(QsciScintilla::SCI_LINESONSCREEN));
        const int lastShown = int(moMsg->SendScintilla(QsciScintilla::SCI_VISIBLEFROMDOCLINE, long(last)));
        FFollowing = !FHoldsLines || lastShown < first + qMax(1, shown);
        // What is done once for a batch of lines waits for the batch's end.
        FTidyPending = true;
        QTimer::singleShot(0, this, &TfrMessages::TidyAfterBatch);
    }
    moMsg->setReadOnly(false);
    if (!FHoldsLines)
        moMsg->setText(ALine);
    else
        moMsg->append(QLatin1Char('\n') + ALine);
    moMsg->setReadOnly(true);
    FHoldsLines = true;
}

void TfrMessages::TidyAfterBatch()
{
    FTidyPending = false;
    // Wrapping costs time with every line and, after a drop, lays out the
    // whole pane again: a long pane is a flood, whose lines go unwrapped.
    if (LineCount() > KWrappedLines && moMsg->wrapMode() != QsciScintilla::WrapNone)
        moMsg->setWrapMode(QsciScintilla::WrapNone);
    if (LineCount() > KKeptLines + KDropStep)
        DropOldLines();
    if (FFollowing)
        moMsg->ensureLineVisible(moMsg->lines() - 1);
}

void TfrMessages::DropOldLines()
{
    // The first line of a pane that has dropped lines says so; it is
    // replaced together with the lines dropped after it.
    const qsizetype First = FDropped > 0 ? 1 : 0;
    const qsizetype Drop = LineCount() - First - KKeptLines;
    const long Bytes = moMsg->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, long(First + Drop));
    FDropped += Drop;
    const QString Notice = QStringLiteral("... %1 earlier lines were dropped to keep the pane fast ...").arg(FDropped);
    moMsg->setReadOnly(false);
    moMsg->SendScintilla(QsciScintilla::SCI_DELETERANGE, 0UL, Bytes);
    const QByteArray NoticeLine = Notice.toUtf8() + '\n';
    moMsg->SendScintilla(QsciScintilla::SCI_INSERTTEXT, 0UL, NoticeLine.constData());
    moMsg->setReadOnly(true);
}

void TfrMessages::rp_SetToolBar(TValueList *AParams)
{
    if (AParams->Values(PacketKey::Name) == ToolBarMode::Main)
        rp_ClearErrorMessage(AParams);
}

void TfrMessages::rp_CodeError(TValueList *AParams)
{
    ShowPane();
    const int lineNo = AParams->Integers(PacketKey::LineNo);
    const QString errorMsg = CutForShowing(AParams->Values(PacketKey::ErrorMsg));
    if (lineNo == -1) {
        AddLine(QStringLiteral("* Error : %1").arg(errorMsg));
        return;
    }
    AddLine(QStringLiteral("* Error: %1").arg(errorMsg));
    AddLine(QStringLiteral("  - Line no: %1").arg(lineNo));
    const QString errorText = CutForShowing(AParams->Values(PacketKey::ErrorText));
    if (!TrimText(errorText).isEmpty())
        AddLine(QStringLiteral("    %1").arg(errorText));
}

void TfrMessages::rp_ClearErrorMessage(TValueList *)
{
    setVisible(false);
    if (QWidget *splitter = MainSplitter())
        splitter->setVisible(false);
    moMsg->setReadOnly(false);
    moMsg->clear();
    moMsg->setReadOnly(true);
    moMsg->setWrapMode(QsciScintilla::WrapWord);
    FHoldsLines = false;
    FDropped = 0;
}

void TfrMessages::rp_Message(TValueList *AParams)
{
    ShowPane();
    AddLine(CutForShowing(AParams->Values(PacketKey::Msg)));
}
