#include "editorframe.h"

#include "core.h"
#include "packetcodes.h"
#include "valuelist.h"
#include "view.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <Qsci/qscilexerjavascript.h>
#include <cerrno>
#include <optional>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

EFileError::EFileError(const QString &AMessage)
    : std::runtime_error(AMessage.toStdString())
{
}

// ---------------------------------------------------------------------------
// TEditorLines

QStringList TEditorLines::SplitLines(const QString &AText)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    if (AText.isEmpty())
        return {};
    QStringList lines = AText.split(lineBreak);
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
    QString line = FEditor->text(AIndex);
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

QStringList TEditorLines::ToStringList() const
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    if (FEditor->length() == 0)
        return {};
    return FEditor->text().split(lineBreak);
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

namespace {

// Only a regular file is read: a pipe would block the program until someone
// writes to it, a device may never end. Opened without waiting, so that a
// pipe put in the file's place after the test cannot block either.
int OpenRegularFile(const QString &AFileName)
{
    const auto notAFile = [&] {
        return EFileError(QStringLiteral("Cannot open \"%1\": it is not a regular file (a folder, a "
                                         "device or a pipe).")
                              .arg(AFileName));
    };
    const QFileInfo info(AFileName);
    if (info.exists() && !info.isFile())
        throw notAFile();
    const int fd = ::open(QFile::encodeName(AFileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EFileError(QStringLiteral("Cannot open \"%1\": %2")
                             .arg(AFileName, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw notAFile();
    }
    return fd;
}

// The text of a file's bytes: UTF-8 (a byte-order mark dropped), else the
// Korean Windows code page. Nothing when it is neither, or holds a NUL, at
// which the editor's text would end.
std::optional<QString> DecodeText(const QByteArray &AData)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(AData);
    if (!utf8.hasError() && !text.contains(QChar(0)))
        return text;
    // ICU's "cp949" is IBM's code page; Windows tools write Microsoft's.
    QStringDecoder korean("windows-949", QStringDecoder::Flag::Stateless);
    if (!korean.isValid())
        return std::nullopt;
    text = korean(AData);
    if (korean.hasError() || text.contains(QChar(0)))
        return std::nullopt;
    return text;
}

} // namespace

void TEditorLines::LoadFromFile(const QString &AFileName)
{
    QFile file;
    if (!file.open(OpenRegularFile(AFileName), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw EFileError(QStringLiteral("Cannot open \"%1\": %2").arg(AFileName, file.errorString()));
    if (file.size() > MaxFileSize)
        throw EFileError(QStringLiteral("\"%1\" is too large to edit (%2 bytes).")
                             .arg(AFileName)
                             .arg(file.size()));
    const QByteArray data = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw EFileError(QStringLiteral("Cannot read \"%1\": %2").arg(AFileName, file.errorString()));
    if (data.size() > MaxFileSize)
        throw EFileError(QStringLiteral("\"%1\" is too large to edit.").arg(AFileName));

    // Decoding with replacement characters would lose the file's text on the
    // next save; refuse a file that is not text in either encoding.
    const std::optional<QString> text = DecodeText(data);
    if (!text)
        throw EFileError(QStringLiteral("\"%1\" is neither UTF-8 nor Korean (CP949) text.").arg(AFileName));
    SetText(*text);
}

void TEditorLines::SaveToFile(const QString &AFileName) const
{
    QByteArray data;
    for (const QString &line : ToStringList()) {
        data += line.toUtf8();
        data += '\n';
    }
    const auto failed = [&](const QFileDevice &AFile) {
        return EFileError(QStringLiteral("Cannot write \"%1\": %2").arg(AFileName, AFile.errorString()));
    };
    QSaveFile file(AFileName);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(data) != data.size() || !file.commit())
            throw failed(file);
    } else {
        // A file that the learner may write, in a folder that takes no new
        // file (so no temporary file beside it), is written in place.
        const QFileInfo info(AFileName);
        if (!info.isFile() || !info.isWritable())
            throw failed(file);
        QFile direct(AFileName);
        if (!direct.open(QIODevice::WriteOnly | QIODevice::Truncate) || direct.write(data) != data.size()
            || !direct.flush())
            throw failed(direct);
    }
    FEditor->setModified(false);
}

// ---------------------------------------------------------------------------
// TSourceEditor

TSourceEditor::TSourceEditor(QWidget *AParent)
    : QsciScintilla(AParent)
{
}

bool TSourceEditor::EnhancedEnd(bool AExtend)
{
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index);
    QString text = this->text(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
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
        QString text = this->text(above);
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            text.chop(1);
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
    SynJScriptSyn->setDefaultPaper(Qt::white);
    SynJScriptSyn->setPaper(Qt::white, -1);
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
    moSrc->setEolMode(QsciScintilla::EolUnix);

    // Gutter: line numbers in a smaller face, with room to the right.
    moSrc->setMarginsFont(CodeFont(11));
    moSrc->setMarginType(0, QsciScintilla::NumberMargin);
    moSrc->setMarginLineNumbers(0, true);
    moSrc->setMarginWidth(0, QStringLiteral("00000"));
    moSrc->setMarginWidth(1, 10);
    moSrc->setMarginsBackgroundColor(QColor(0xf0, 0xf0, 0xf0));
    moSrc->setMarginsForegroundColor(QColor(0x60, 0x60, 0x60));

    moSrc->setAutoIndent(true);
    moSrc->setIndentationsUseTabs(false);
    moSrc->setTabWidth(4);
    moSrc->setTabIndents(true);
    moSrc->setBackspaceUnindents(true);
    moSrc->SendScintilla(QsciScintilla::SCI_SETVIRTUALSPACEOPTIONS, QsciScintilla::SCVS_USERACCESSIBLE);
    moSrc->setBraceMatching(QsciScintilla::SloppyBraceMatch);
    // The horizontal scroll bar only when a line is wider than the editor.
    moSrc->SendScintilla(QsciScintilla::SCI_SETSCROLLWIDTH, 1);
    moSrc->SendScintilla(QsciScintilla::SCI_SETSCROLLWIDTHTRACKING, 1);
    moSrc->setCaretLineVisible(false);

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
