#include "editorframe.h"
#include "hosttestsupport.h"
#include "messages.h"
#include "observerlist.h"
#include "packetcodes.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <sys/stat.h>
#include <Qsci/qscilexerjavascript.h>
#include <gtest/gtest.h>

namespace {

TValueList Packet(const QString &AKey, const QString &AValue)
{
    TValueList p;
    p.SetValues(AKey, AValue);
    return p;
}

} // namespace

TEST(EditorFrameTest, StartsWithTheTenLinesAndRegistersAsTheEditor)
{
    TfrEditor editor;
    EXPECT_EQ(GEditorFrame, &editor);
    EXPECT_EQ(editor.Lines().Count(), 10);
    EXPECT_EQ(editor.Lines().Strings(0), QStringLiteral("// Run 버턴을 클릭하면 한 번만 실행 됩니다."));
    EXPECT_EQ(editor.Lines().Strings(6), QStringLiteral("function loop() {"));
    EXPECT_EQ(editor.Lines().Strings(9), QString());
    EXPECT_EQ(EditorSourceText(), TfrEditor::InitialLines().join(QStringLiteral("\r\n")));
    EXPECT_EQ(static_cast<ICore *>(TCore::Obj())->GetSouceCode(), EditorSourceText());
    EXPECT_GE(TCore::Obj()->View()->ObserverList()->Count(), 2);

    // The highlighter's three colours.
    EXPECT_EQ(editor.SynJScriptSyn->color(QsciLexerCPP::CommentLine), QColor(0, 128, 0));
    EXPECT_EQ(editor.SynJScriptSyn->color(QsciLexerCPP::Keyword), QColor(0, 0, 255));
    EXPECT_EQ(editor.SynJScriptSyn->color(QsciLexerCPP::DoubleQuotedString), QColor(128, 0, 0));
}

TEST(EditorFrameTest, HasItsListedOptionsAndTheComponentsDefaultsForEverythingElse)
{
    TfrEditor editor;
    TSourceEditor *ed = editor.moSrc;
    // Auto-indent, Tab as spaces, backspace unindents, the caret past the
    // end of a line.
    EXPECT_TRUE(ed->autoIndent());
    EXPECT_FALSE(ed->indentationsUseTabs());
    EXPECT_TRUE(ed->backspaceUnindents());
    EXPECT_EQ(ed->SendScintilla(QsciScintilla::SCI_GETVIRTUALSPACEOPTIONS),
              long(QsciScintilla::SCVS_USERACCESSIBLE));

    const QsciScintilla plain;
    EXPECT_EQ(ed->tabWidth(), plain.tabWidth());
    EXPECT_EQ(ed->braceMatching(), plain.braceMatching());
    EXPECT_EQ(ed->tabIndents(), plain.tabIndents());
    EXPECT_EQ(ed->wrapMode(), plain.wrapMode());
    EXPECT_EQ(ed->eolMode(), plain.eolMode());
    for (const int message : {QsciScintilla::SCI_GETSCROLLWIDTH, QsciScintilla::SCI_GETSCROLLWIDTHTRACKING,
                              QsciScintilla::SCI_GETCARETLINEVISIBLE, QsciScintilla::SCI_GETINDENTATIONGUIDES,
                              QsciScintilla::SCI_GETVIEWWS, QsciScintilla::SCI_GETEDGEMODE})
        EXPECT_EQ(ed->SendScintilla(message), const_cast<QsciScintilla &>(plain).SendScintilla(message))
            << message;
    // The gutter's colours too, and the highlighter's beyond its three.
    for (const int message : {QsciScintilla::SCI_STYLEGETBACK, QsciScintilla::SCI_STYLEGETFORE})
        EXPECT_EQ(ed->SendScintilla(message, QsciScintilla::STYLE_LINENUMBER),
                  const_cast<QsciScintilla &>(plain).SendScintilla(message, QsciScintilla::STYLE_LINENUMBER))
            << message;
    const QsciLexerJavaScript stock;
    const QList<int> listed{QsciLexerCPP::Comment, QsciLexerCPP::CommentLine, QsciLexerCPP::CommentDoc,
                            QsciLexerCPP::CommentLineDoc, QsciLexerCPP::CommentDocKeyword,
                            QsciLexerCPP::CommentDocKeywordError, QsciLexerCPP::Keyword,
                            QsciLexerCPP::DoubleQuotedString, QsciLexerCPP::SingleQuotedString,
                            QsciLexerCPP::UnclosedString, QsciLexerCPP::RawString};
    for (int style = 0; style < 128; ++style) {
        EXPECT_EQ(editor.SynJScriptSyn->paper(style), stock.paper(style)) << style;
        if (!listed.contains(style)) {
            EXPECT_EQ(editor.SynJScriptSyn->color(style), stock.color(style)) << style;
        }
    }
}

TEST(EditorFrameTest, EditorAndMessagePaneDrawTextWithoutSmoothing)
{
    TfrEditor editor;
    TfrMessages pane;
    TValueList message = Packet(PacketKey::Msg, QStringLiteral("* Error: x is not defined"));
    pane.rp_Message(&message);
    for (QsciScintilla *view : {static_cast<QsciScintilla *>(editor.moSrc), pane.moMsg}) {
        // Smoothed glyph edges blend ink into paper; unsmoothed text shows
        // nothing but the styles' own colours, the gutter's included.
        QSet<QRgb> own;
        auto add = [&](long ABgr) { own << qRgb(ABgr & 0xFF, (ABgr >> 8) & 0xFF, (ABgr >> 16) & 0xFF); };
        add(view->SendScintilla(QsciScintilla::SCI_GETCARETFORE));
        for (int style = 0; style <= QsciScintilla::STYLE_MAX; ++style) {
            add(view->SendScintilla(QsciScintilla::SCI_STYLEGETFORE, style));
            add(view->SendScintilla(QsciScintilla::SCI_STYLEGETBACK, style));
        }
        view->resize(400, 200);
        const QImage image = view->viewport()->grab().toImage();
        QSet<QRgb> blends;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!own.contains(image.pixel(x, y)))
                    blends << image.pixel(x, y);
        EXPECT_TRUE(blends.isEmpty()) << view->objectName().toStdString() << ": " << blends.size()
                                      << " colours of no style";
    }
}

TEST(EditorFrameTest, DraggingTheScrollBarShowsTheTopLine)
{
    TfrEditor editor;
    editor.resize(400, 200);
    editor.show();
    QStringList many;
    for (int i = 0; i < 200; ++i)
        many << QString::number(i);
    editor.Lines().SetText(many.join(u'\n'));
    QScrollBar *bar = editor.moSrc->verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(41);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Line 42"));
    bar->setSliderDown(false);
}

TEST(EditorFrameTest, LinesTextJoinsWithCrLfAndSplitsAtAnyLineBreak)
{
    TfrEditor editor;
    TEditorLines &lines = editor.Lines();
    lines.SetText(QStringLiteral("a\r\nb\nc\rd"));
    EXPECT_EQ(lines.Count(), 4);
    EXPECT_EQ(lines.Text(), QStringLiteral("a\r\nb\r\nc\r\nd"));
    // A final break ends the last line; a second one makes an empty line.
    lines.SetText(QStringLiteral("a\nb\n"));
    EXPECT_EQ(lines.Text(), QStringLiteral("a\r\nb"));
    lines.SetText(QStringLiteral("a\n\n"));
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines.Text(), QStringLiteral("a\r\n"));
    lines.Clear();
    EXPECT_EQ(lines.Count(), 0);
    EXPECT_EQ(lines.Text(), QString());
    EXPECT_EQ(EditorSourceText(), QString());
}

TEST(EditorFrameTest, AFreedEditorIsNoLongerReached)
{
    {
        TfrEditor editor;
        editor.Lines().SetText(QStringLiteral("text"));
        EXPECT_EQ(EditorSourceText(), QStringLiteral("text"));
    }
    EXPECT_EQ(GEditorFrame, nullptr);
    EXPECT_EQ(static_cast<ICore *>(TCore::Obj())->GetSouceCode(), QString());
}

TEST(EditorFrameTest, SourceCodeAndToolBarPackets)
{
    TfrEditor editor;
    TValueList code = Packet(QStringLiteral("Text"), QStringLiteral("function setup() {\r\n  x();\r\n}"));
    editor.rp_SetSourceCode(&code);
    EXPECT_EQ(editor.Lines().Count(), 3);
    EXPECT_EQ(editor.Lines().Strings(1), QStringLiteral("  x();"));
    TValueList none;
    editor.rp_SetSourceCode(&none);
    EXPECT_EQ(editor.Lines().Count(), 0);

    editor.show();
    for (const auto &[name, visible] : {std::pair{QStringLiteral("Module"), true},
                                        std::pair{QStringLiteral("module"), false},
                                        std::pair{QStringLiteral("Module"), true},
                                        std::pair{QStringLiteral("Main"), false},
                                        std::pair{QStringLiteral("Module"), true},
                                        std::pair{QString(), false}}) {
        TValueList p = Packet(QStringLiteral("Name"), name);
        editor.rp_SetToolBar(&p);
        EXPECT_EQ(editor.isVisible(), visible) << name.toStdString();
    }

    // Delivered through the bus, posted.
    HostView()->sp_SetSourceCode(QStringLiteral("one\ntwo"));
    ASSERT_TRUE(WaitFor([&] { return editor.Lines().Count() == 2; }));
    EXPECT_EQ(editor.Lines().Text(), QStringLiteral("one\r\ntwo"));
}

TEST(EditorFrameTest, FilesRoundTripAsUtf8)
{
    QTemporaryDir dir;
    TfrEditor editor;
    TEditorLines &lines = editor.Lines();
    const QString path = dir.filePath(QStringLiteral("prog.js"));

    lines.SetText(QStringLiteral("// 깜빡이기\nfunction loop() {\n}\n\n"));
    lines.SaveToFile(path);
    EXPECT_EQ(ReadAll(path), QStringLiteral("// 깜빡이기\nfunction loop() {\n}\n\n").toUtf8());
    lines.Clear();
    lines.LoadFromFile(path);
    EXPECT_EQ(lines.Text(), QStringLiteral("// 깜빡이기\r\nfunction loop() {\r\n}\r\n"));

    // Windows line ends and a byte-order mark read the same.
    const QString windows = dir.filePath(QStringLiteral("windows.js"));
    ASSERT_TRUE(WriteAll(windows, QByteArray("\xEF\xBB\xBF") + QStringLiteral("가\r\nb\r\n").toUtf8()));
    lines.LoadFromFile(windows);
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines.Strings(0), QStringLiteral("가"));

    // An empty editor writes an empty file.
    lines.Clear();
    lines.SaveToFile(path);
    EXPECT_EQ(ReadAll(path), QByteArray());
}

TEST(EditorFrameTest, BadFilesRaiseAndLeaveTheEditorAsItWas)
{
    QTemporaryDir dir;
    TfrEditor editor;
    TEditorLines &lines = editor.Lines();
    lines.SetText(QStringLiteral("keep\nme"));

    EXPECT_THROW(lines.LoadFromFile(dir.filePath(QStringLiteral("missing.js"))), EFileError);
    EXPECT_THROW(lines.LoadFromFile(dir.path()), EFileError);
    const QString latin1 = dir.filePath(QStringLiteral("latin1.js"));
    ASSERT_TRUE(WriteAll(latin1, QByteArray("caf\xE9\n")));
    try {
        lines.LoadFromFile(latin1);
        ADD_FAILURE() << "non-UTF-8 text was loaded";
    } catch (const EFileError &E) {
        EXPECT_TRUE(E.Message().contains(QStringLiteral("UTF-8")));
    }
    // A NUL would end the editor's text there, and the next save would cut
    // the file short: UTF-16 text without a byte-order mark is refused.
    const QString utf16 = dir.filePath(QStringLiteral("utf16.js"));
    ASSERT_TRUE(WriteAll(utf16, QByteArray("v\0a\0r\0 \0x\0;\0\n\0", 14)));
    EXPECT_THROW(lines.LoadFromFile(utf16), EFileError);
    const QString huge = dir.filePath(QStringLiteral("huge.js"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(KMaxScriptFileSize + 1));
    }
    EXPECT_THROW(lines.LoadFromFile(huge), EFileError);
    EXPECT_EQ(lines.Text(), QStringLiteral("keep\r\nme"));

    // Writing into a missing folder fails and leaves an existing file whole.
    EXPECT_THROW(lines.SaveToFile(dir.filePath(QStringLiteral("no/such/dir/x.js"))), EFileError);
    EXPECT_THROW(lines.SaveToFile(dir.path()), EFileError);
}

TEST(EditorFrameTest, ChangedMeansTypedSinceTheLastLoadOrSave)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("prog.js"));
    TfrEditor editor;
    TEditorLines &lines = editor.Lines();
    const auto type = [&] {
        QTest::keyClicks(editor.moSrc, QStringLiteral("x"));
        return lines.Modified();
    };
    EXPECT_FALSE(lines.Modified()) << "the initial lines";
    EXPECT_TRUE(type());
    lines.SaveToFile(path);
    EXPECT_FALSE(lines.Modified());
    EXPECT_TRUE(type());
    lines.LoadFromFile(path);
    EXPECT_FALSE(lines.Modified());
    EXPECT_TRUE(type());
    lines.Clear();
    EXPECT_FALSE(lines.Modified());
    EXPECT_TRUE(type());
    TValueList code = Packet(QStringLiteral("Text"), QStringLiteral("lesson();"));
    editor.rp_SetSourceCode(&code);
    EXPECT_FALSE(lines.Modified());
    // A load that fails keeps the changes.
    EXPECT_TRUE(type());
    EXPECT_THROW(lines.LoadFromFile(dir.filePath(QStringLiteral("missing.js"))), EFileError);
    EXPECT_TRUE(lines.Modified());
}

TEST(EditorFrameTest, KoreanWindowsFilesOpenAndOnlyRegularFilesAreRead)
{
    QTemporaryDir dir;
    TfrEditor editor;
    TEditorLines &lines = editor.Lines();
    // CP949 as Windows tools write it, with a letter (똠) that EUC-KR lacks.
    const QString korean = dir.filePath(QStringLiteral("korean.js"));
    ASSERT_TRUE(WriteAll(korean, QByteArray("// \x8C\x63\xB9\xE6 \xC7\xD1\xB1\xDB\r\nprint(\"\xBE\xC8\xB3\xE7\");\r\n")));
    lines.LoadFromFile(korean);
    EXPECT_EQ(lines.Text(), QStringLiteral("// 똠방 한글\r\nprint(\"안녕\");"));
    // Saved back as UTF-8.
    lines.SaveToFile(korean);
    EXPECT_EQ(ReadAll(korean), QStringLiteral("// 똠방 한글\nprint(\"안녕\");\n").toUtf8());

    // A pipe, a device and a folder are refused at once, without waiting for
    // a writer or reading forever.
    lines.SetText(QStringLiteral("keep"));
    const QString fifo = dir.filePath(QStringLiteral("pipe.js"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
        try {
            lines.LoadFromFile(path);
            ADD_FAILURE() << path.toStdString() << " was read";
        } catch (const EFileError &E) {
            EXPECT_TRUE(E.Message().contains(QStringLiteral("not a regular file"))) << E.what();
        }
    }
    EXPECT_EQ(lines.Text(), QStringLiteral("keep"));
}

TEST(EditorFrameTest, AWritableFileInAFolderThatTakesNoNewFilesIsSavedInPlace)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/prog.js");
    ASSERT_TRUE(WriteAll(path, "old();\n"));
    if (!LockFolder(folder, true))
        GTEST_SKIP() << "cannot make the folder refuse new files here";
    TfrEditor editor;
    editor.Lines().SetText(QStringLiteral("new();"));
    EXPECT_NO_THROW(editor.Lines().SaveToFile(path));
    EXPECT_THROW(editor.Lines().SaveToFile(folder + QStringLiteral("/other.js")), EFileError);
    LockFolder(folder, false);
    EXPECT_EQ(ReadAll(path), QByteArray("new();\n"));
}

TEST(EditorFrameTest, EndStopsAtLastNonBlankFirstAndTabLinesUpWithTheLineAbove)
{
    TfrEditor editor;
    editor.show();
    TSourceEditor *ed = editor.moSrc;
    editor.Lines().SetText(QStringLiteral("var  answer = 42;   \nx"));
    ed->setCursorPosition(0, 0);
    QTest::keyClick(ed, Qt::Key_End);
    int line = 0, index = 0;
    ed->getCursorPosition(&line, &index);
    EXPECT_EQ(index, 17);
    QTest::keyClick(ed, Qt::Key_End);
    ed->getCursorPosition(&line, &index);
    EXPECT_EQ(index, 20);

    // On the second line, after "x": Tab goes under "answer".
    ed->setCursorPosition(1, 1);
    QTest::keyClick(ed, Qt::Key_Tab);
    EXPECT_EQ(editor.Lines().Strings(1), QStringLiteral("x    "));
    // Past the words above, an ordinary indent of spaces.
    ed->setCursorPosition(1, 5);
    QTest::keyClick(ed, Qt::Key_Tab);
    EXPECT_FALSE(editor.Lines().Strings(1).contains(QLatin1Char('\t')));
    EXPECT_GT(editor.Lines().Strings(1).size(), 5);
}
