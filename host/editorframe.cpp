#include "editorframe.h"

#include "core.h"
#include "packetcodes.h"
#include "valuelist.h"
#include "view.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <Qsci/qscilexerjavascript.h>

TfrEditor *GEditorFrame = nullptr;

QString EditorSourceText()
{
    return GEditorFrame ? GEditorFrame->Lines().Text() : QString();
}

QFont CodeFont(int APixels)
{
    // In points: the editor component ignores pixel sizes. 96 dots per inch
    // is the screen the sizes were chosen on.
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(APixels * 72.0 / 96.0);
    return font;
}

void NoFontSmoothing(QsciScintilla *AEditor)
{
    // The component makes a QFont of its own for every style from the
    // style's face and size and takes smoothing from its font quality only:
    // a strategy on the fonts handed to it, or to its lexer, is lost.
    AEditor->SendScintilla(QsciScintilla::SCI_SETFONTQUALITY, QsciScintilla::SC_EFF_QUALITY_NON_ANTIALIASED);
}

QStringList SplitAtLineBreaks(const QString &AText)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return AText.split(lineBreak);
}

namespace {

// Line ALine of AEditor without its line break.
QString LineText(const QsciScintilla *AEditor, int ALine)
{
    QString line = AEditor->text(ALine);
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

} // namespace

// ---------------------------------------------------------------------------
// TEditorLines

QStringList TEditorLines::SplitLines(const QString &AText)
{
    if (AText.isEmpty())
        return {};
    QStringList lines = SplitAtLineBreaks(AText);
    // A final line break ends the last line; it does not start another.
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int TEditorLines::Count() const
{
    // The editor always shows one line; an empty editor holds none.
    if (FEditor->length() == 0)
        return 0;
    return FEditor->lines();
}

QString TEditorLines::Strings(int AIndex) const
{
    if (AIndex < 0 || AIndex >= Count())
        return QString();
    return LineText(FEditor, AIndex);
}

QStringList TEditorLines::ToStringList() const
{
    if (FEditor->length() == 0)
        return {};
    return SplitAtLineBreaks(FEditor->text());
}

QString TEditorLines::Text() const
{
    return ToStringList().join(QStringLiteral("\r\n"));
}

void TEditorLines::SetLines(const QStringList &ALines)
{
    FEditor->setText(ALines.join(QLatin1Char('\n')));
    FEditor->setModified(false);
}

void TEditorLines::SetText(const QString &AText)
{
    SetLines(SplitLines(AText));
}

void TEditorLines::Clear()
{
    FEditor->clear();
    FEditor->setModified(false);
}

bool TEditorLines::Modified() const
{
    return FEditor->isModified();
}

void TEditorLines::LoadFromFile(const QString &AFileName)
{
    SetText(ReadScriptFile(AFileName));
}

void TEditorLines::SaveToFile(const QString &AFileName) const
{
    QByteArray data;
    for (const QString &line : ToStringList()) {
        data += line.toUtf8();
        data += '\n';
    }
    WriteScriptFile(AFileName, data);
    FEditor->setModified(false);
}

// ---------------------------------------------------------------------------
// TSourceEditor

TSourceEditor::TSourceEditor(QWidget *AParent)
    : QsciScintilla(AParent)
{
    // Dragging the scroll bar shows, beside the pointer, the number of the
    // line that comes to the top.
    connect(verticalScrollBar(), &QScrollBar::sliderMoved, this, [this](int AValue) {
        QToolTip::showText(QCursor::pos(), tr("Line %1").arg(AValue + 1), verticalScrollBar());
    });
}

bool TSourceEditor::EnhancedEnd(bool AExtend)
{
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index);
    const QString text = LineText(this, line);
    int lastNonBlank = int(text.size());
    while (lastNonBlank > 0 && text.at(lastNonBlank - 1).isSpace())
        --lastNonBlank;
    // A second End, or a line without trailing blanks, goes to the true end.
    if (lastNonBlank == text.size() || index == lastNonBlank)
        return false;
    const long pos = positionFromLineIndex(line, lastNonBlank);
    SendScintilla(AExtend ? SCI_SETCURRENTPOS : SCI_GOTOPOS, pos);
    return true;
}

bool TSourceEditor::SmartTab()
{
    if (hasSelectedText())
        return false;
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index);
    // The nearest line above that reaches past the caret.
    for (int above = line - 1; above >= 0; --above) {
        const QString text = LineText(this, above);
        if (text.trimmed().isEmpty())
            continue;
        if (index >= text.size())
            return false;
        int col = index;
        while (col < text.size() && !text.at(col).isSpace())
            ++col;
        while (col < text.size() && text.at(col).isSpace())
            ++col;
        if (col >= text.size())
            return false;
        insert(QString(col - index, QLatin1Char(' ')));
        setCursorPosition(line, col);
        return true;
    }
    return false;
}

void TSourceEditor::keyPressEvent(QKeyEvent *AEvent)
{
    const auto mods = AEvent->modifiers() & ~Qt::KeypadModifier;
    if (AEvent->key() == Qt::Key_End && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        if (EnhancedEnd(mods == Qt::ShiftModifier))
            return;
    } else if (AEvent->key() == Qt::Key_Tab && mods == Qt::NoModifier && !isReadOnly()) {
        if (SmartTab())
            return;
    }
    QsciScintilla::keyPressEvent(AEvent);
}

// ---------------------------------------------------------------------------
// TfrEditor

QStringList TfrEditor::InitialLines()
{
    return {
        QStringLiteral("// Run 버턴을 클릭하면 한 번만 실행 됩니다."),
        QStringLiteral("function setup() {"),
        QString(),
        QStringLiteral("}"),
        QString(),
        QStringLiteral("// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다."),
        QStringLiteral("function loop() {"),
        QString(),
        QStringLiteral("}"),
        QString(),
    };
}

QFrame *NewClientPanel(QFrame *AFrame)
{
    auto *frameLayout = new QVBoxLayout(AFrame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QFrame(AFrame);
    panel->setObjectName(QStringLiteral("plClient"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frameLayout->addWidget(panel);
    auto *clientLayout = new QVBoxLayout(panel);
    clientLayout->setContentsMargins(1, 1, 1, 1);
    return panel;
}

void FillClientPanel(QFrame *APanel, QFrame *AChild)
{
    AChild->setFrameStyle(QFrame::NoFrame);
    APanel->layout()->addWidget(AChild);
}

TfrEditor::TfrEditor(QWidget *AOwner)
    : QFrame(AOwner)
{
    setObjectName(QStringLiteral("frEditor"));
    plClient = NewClientPanel(this);
    moSrc = new TSourceEditor(plClient);
    moSrc->setObjectName(QStringLiteral("moSrc"));
    FillClientPanel(plClient, moSrc);

    const QFont font = CodeFont(13);
    SynJScriptSyn = new QsciLexerJavaScript(moSrc);
    SynJScriptSyn->setObjectName(QStringLiteral("SynJScriptSyn"));
    SynJScriptSyn->setDefaultFont(font);
    SynJScriptSyn->setFont(font, -1);
    const QColor green(0, 128, 0), blue(0, 0, 255), maroon(128, 0, 0);
    for (int style : {QsciLexerCPP::Comment, QsciLexerCPP::CommentLine, QsciLexerCPP::CommentDoc,
                      QsciLexerCPP::CommentLineDoc, QsciLexerCPP::CommentDocKeyword,
                      QsciLexerCPP::CommentDocKeywordError})
        SynJScriptSyn->setColor(green, style);
    SynJScriptSyn->setColor(blue, QsciLexerCPP::Keyword);
    for (int style : {QsciLexerCPP::DoubleQuotedString, QsciLexerCPP::SingleQuotedString,
                      QsciLexerCPP::UnclosedString, QsciLexerCPP::RawString})
        SynJScriptSyn->setColor(maroon, style);
    moSrc->setUtf8(true);
    moSrc->setLexer(SynJScriptSyn);
    NoFontSmoothing(moSrc);

    // Gutter: line numbers in a smaller face, with room to the right.
    moSrc->setMarginsFont(CodeFont(11));
    moSrc->setMarginType(0, QsciScintilla::NumberMargin);
    moSrc->setMarginLineNumbers(0, true);
    moSrc->setMarginWidth(0, QStringLiteral("00000"));
    moSrc->setMarginWidth(1, 10);

    // The learners' editor options and no others; everything else is the
    // component's. Drag and drop of a selection, undo of a run of typing
    // at once, and Tab and Shift+Tab on a selection are the component's
    // own; End and Tab's lining up are TSourceEditor's.
    moSrc->setAutoIndent(true);
    moSrc->setIndentationsUseTabs(false);
    moSrc->setBackspaceUnindents(true);
    moSrc->SendScintilla(QsciScintilla::SCI_SETVIRTUALSPACEOPTIONS, QsciScintilla::SCVS_USERACCESSIBLE);

    FLines = TEditorLines(moSrc);
    FLines.SetText(InitialLines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
    moSrc->SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);

    GEditorFrame = this;
    moSrc->setAttribute(Qt::WA_OpaquePaintEvent);
    TCore::Obj()->View()->Add(this);
}

TfrEditor::~TfrEditor()
{
    TCore::Obj()->View()->Remove(this);
    // Nobody may read the text of an editor that is gone.
    if (GEditorFrame == this)
        GEditorFrame = nullptr;
}

void TfrEditor::rp_SetSourceCode(TValueList *AParams)
{
    FLines.SetText(AParams->Values(PacketKey::Text));
}

void TfrEditor::rp_SetToolBar(TValueList *AParams)
{
    setVisible(AParams->Values(PacketKey::Name) == ToolBarMode::Module);
}

bool TfrEditor::QuerySaveChanges()
{
    // One question at a time: a link followed again, or a close request,
    // while it is open is dropped.
    if (FAsking)
        return false;
    if (!FLines.Modified())
        return true;
    FAsking = true;
    const auto done = qScopeGuard([this] { FAsking = false; });
    const QMessageBox::StandardButton answer = QMessageBox::question(
        window(), QStringLiteral("Kitebench"),
        QStringLiteral("The program in the editor has changes that have not been saved.\n\n"
                       "Save them first?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return OnSave && OnSave();
    return answer == QMessageBox::Discard;
}

bool EditorMayBeReplaced()
{
    return !GEditorFrame || GEditorFrame->QuerySaveChanges();
}
