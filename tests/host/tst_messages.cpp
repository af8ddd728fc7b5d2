#include "hosttestsupport.h"
#include "messages.h"
#include "shownlines.h"
#include "testsupport.h"

#include <QTest>
#include <Qsci/qsciscintilla.h>
#include <gtest/gtest.h>
#include <initializer_list>
#include <thread>
#include <utility>

namespace {

TValueList Error(std::initializer_list<std::pair<const char *, QString>> AValues)
{
    TValueList p;
    for (const auto &[key, value] : AValues)
        p.SetValues(QString::fromLatin1(key), value);
    return p;
}

class MessagesTest : public ::testing::Test
{
protected:
    TfrMessages Pane;
};

} // namespace

TEST_F(MessagesTest, CodeErrorFormats)
{
    TValueList noLine = Error({{"LineNo", "-1"}, {"ErrorMsg", "x"}});
    Pane.rp_CodeError(&noLine);
    EXPECT_EQ(Pane.Lines(), QStringList{QStringLiteral("* Error : x")});

    TValueList full = Error({{"LineNo", "12"}, {"ErrorMsg", "x"}, {"ErrorText", "  y"}});
    Pane.rp_CodeError(&full);
    TValueList blankText = Error({{"LineNo", "3"}, {"ErrorMsg", "z"}, {"ErrorText", " \t\x01 "}});
    Pane.rp_CodeError(&blankText);
    TValueList noKeys;
    Pane.rp_CodeError(&noKeys);
    TValueList negative = Error({{"LineNo", "-2"}, {"ErrorText", "w"}});
    Pane.rp_CodeError(&negative);
    TValueList notANumber = Error({{"LineNo", "twelve"}, {"ErrorMsg", "%1 stays"}});
    Pane.rp_CodeError(&notANumber);

    const QStringList expected{
        QStringLiteral("* Error : x"),
        QStringLiteral("* Error: x"),
        QStringLiteral("  - Line no: 12"),
        QStringLiteral("      y"),
        QStringLiteral("* Error: z"),
        QStringLiteral("  - Line no: 3"),
        QStringLiteral("* Error: "),
        QStringLiteral("  - Line no: 0"),
        QStringLiteral("* Error: "),
        QStringLiteral("  - Line no: -2"),
        QStringLiteral("    w"),
        QStringLiteral("* Error: %1 stays"),
        QStringLiteral("  - Line no: 0"),
    };
    EXPECT_EQ(Pane.Lines(), expected);
    // The control shows exactly these lines.
    EXPECT_EQ(Pane.moMsg->text(), expected.join(QLatin1Char('\n')));
    EXPECT_TRUE(Pane.moMsg->isReadOnly());
}

TEST_F(MessagesTest, ShowsOnReportsAndClearsOnRunAndMainOnly)
{
    EXPECT_TRUE(Pane.isHidden());
    TValueList msg;
    msg.SetValues(QStringLiteral("Msg"), QStringLiteral("hello"));
    Pane.rp_Message(&msg);
    TValueList empty;
    Pane.rp_Message(&empty);
    EXPECT_FALSE(Pane.isHidden());
    TValueList err = Error({{"LineNo", "-1"}, {"ErrorMsg", "bad"}});
    Pane.rp_CodeError(&err);
    EXPECT_EQ(Pane.Lines(),
              (QStringList{QStringLiteral("hello"), QString(), QStringLiteral("* Error : bad")}));

    for (const QString &name : {QStringLiteral("Module"), QStringLiteral("main"), QString()}) {
        TValueList p;
        p.SetValues(QStringLiteral("Name"), name);
        Pane.rp_SetToolBar(&p);
        EXPECT_FALSE(Pane.isHidden()) << name.toStdString();
        EXPECT_EQ(Pane.Lines().size(), 3);
    }
    TValueList mainMode;
    mainMode.SetValues(QStringLiteral("Name"), QStringLiteral("Main"));
    Pane.rp_SetToolBar(&mainMode);
    EXPECT_TRUE(Pane.isHidden());
    EXPECT_TRUE(Pane.Lines().isEmpty());
    EXPECT_EQ(Pane.moMsg->text(), QString());

    // Clearing a hidden, empty pane leaves it so; the next line starts afresh.
    Pane.rp_ClearErrorMessage(nullptr);
    EXPECT_TRUE(Pane.isHidden());
    Pane.rp_Message(&msg);
    EXPECT_EQ(Pane.moMsg->text(), QStringLiteral("hello"));
}

TEST_F(MessagesTest, ReportsPostedFromAnotherThreadArriveInOrderAfterTheClear)
{
    TValueList stale;
    stale.SetValues(QStringLiteral("Msg"), QStringLiteral("from the last run"));
    Pane.rp_Message(&stale);
    TCore::Obj()->View()->sp_ClearErrorMessage();
    std::thread engine([] {
        HostView()->sp_Message(QStringLiteral("first"));
        TValueList err;
        err.SetValues(QStringLiteral("LineNo"), QStringLiteral("7"));
        err.SetValues(QStringLiteral("ErrorMsg"), QStringLiteral("boom"));
        HostView()->sp_CodeError(&err);
    });
    engine.join();
    ASSERT_TRUE(WaitFor([&] { return Pane.Lines().size() == 3; }));
    EXPECT_EQ(Pane.Lines(), (QStringList{QStringLiteral("first"), QStringLiteral("* Error: boom"),
                                         QStringLiteral("  - Line no: 7")}));
}

TEST_F(MessagesTest, ArrivingLinesLeaveTheCaretAndTheSelectionAlone)
{
    TValueList message;
    message.SetValues(QStringLiteral("Msg"), QStringLiteral("first report"));
    Pane.rp_Message(&message);
    TValueList error = Error({{"LineNo", QStringLiteral("3")}, {"ErrorMsg", QStringLiteral("bad")}});
    Pane.rp_CodeError(&error);
    // The learner selects part of the error line, the caret at its end.
    Pane.moMsg->setSelection(1, 2, 1, 7);
    ASSERT_EQ(Pane.moMsg->selectedText(), QStringLiteral("Error"));
    for (int i = 0; i < 50; ++i)
        Pane.rp_Message(&message);
    Pane.rp_CodeError(&error);
    int fromLine = -1, fromIndex = -1, toLine = -1, toIndex = -1;
    Pane.moMsg->getSelection(&fromLine, &fromIndex, &toLine, &toIndex);
    EXPECT_EQ(QList<int>({fromLine, fromIndex, toLine, toIndex}), QList<int>({1, 2, 1, 7}));
    EXPECT_EQ(Pane.moMsg->selectedText(), QStringLiteral("Error"));
    int caretLine = -1, caretIndex = -1;
    Pane.moMsg->getCursorPosition(&caretLine, &caretIndex);
    EXPECT_EQ(caretLine, 1);
    EXPECT_EQ(caretIndex, 7);
    EXPECT_EQ(Pane.moMsg->lines(), 55);
}

TEST_F(MessagesTest, AVeryLongRunKeepsTheNewestLinesAndSaysEarlierOnesWereDropped)
{
    const int count = int(TfrMessages::KKeptLines + 2 * TfrMessages::KDropStep + 10);
    TValueList msg;
    for (int i = 0; i < count; ++i) {
        msg.SetValues(QStringLiteral("Msg"), QStringLiteral("line %1 ü").arg(i));
        Pane.rp_Message(&msg);
        if (i % 1000 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const QStringList lines = Pane.Lines();
    ASSERT_LE(lines.size(), TfrMessages::KKeptLines + TfrMessages::KDropStep + 1);
    EXPECT_EQ(lines.back(), QStringLiteral("line %1 ü").arg(count - 1));
    const int dropped = count - int(lines.size() - 1);
    EXPECT_EQ(lines.front(),
              QStringLiteral("... %1 earlier lines were dropped to keep the pane fast ...").arg(dropped));
    EXPECT_EQ(lines.value(1), QStringLiteral("line %1 ü").arg(dropped));
    EXPECT_EQ(Pane.moMsg->text(), lines.join(QLatin1Char('\n')));
    // A pane that long no longer wraps its lines; a cleared one does again.
    EXPECT_EQ(Pane.moMsg->wrapMode(), QsciScintilla::WrapNone);
    Pane.rp_ClearErrorMessage(nullptr);
    EXPECT_EQ(Pane.moMsg->wrapMode(), QsciScintilla::WrapWord);
}

// Whatever it is given, not only what the engine has cut already: a line
// too long to read keeps its beginning and a note, a message of too many
// lines its first ones and a note, and text cut once stays as it is.
TEST_F(MessagesTest, LinesTooLongOrTooManyAreCutWithANote)
{
    using namespace ShownLines;
    const QString Long(1000000, u'é');
    const QString Cut = Long.left(KKeptChars) + QStringLiteral("… (999,000 more characters not shown)");
    TValueList msg;
    msg.SetValues(QStringLiteral("Msg"), Long);
    Pane.rp_Message(&msg);
    msg.SetValues(QStringLiteral("Msg"), Cut);
    Pane.rp_Message(&msg);
    msg.SetValues(QStringLiteral("Msg"), QStringLiteral("b\r\n").repeated(1000000));
    Pane.rp_Message(&msg);
    TValueList err = Error({{"LineNo", "1"}, {"ErrorMsg", Long}, {"ErrorText", Long}});
    Pane.rp_CodeError(&err);
    // Lines of a thousand characters: as many as KMostChars holds.
    msg.SetValues(QStringLiteral("Msg"), (QString(KKeptChars, u'x') + u'\n').repeated(50));
    Pane.rp_Message(&msg);
    QCoreApplication::processEvents();

    QStringList expected{Cut, Cut};
    for (qsizetype i = 0; i < KMostLines - 1; ++i)
        expected << QStringLiteral("b");
    expected << QStringLiteral("… (999,902 more lines not shown)") << QStringLiteral("* Error: ") + Cut
             << QStringLiteral("  - Line no: 1") << QStringLiteral("    ") + Cut;
    for (qsizetype i = 0; i < KMostChars / (KKeptChars + 1); ++i)
        expected << QString(KKeptChars, u'x');
    expected << QStringLiteral("… (%1 more lines not shown)").arg(51 - KMostChars / (KKeptChars + 1));
    // Compared, not printed: on failure the lines are megabytes long.
    EXPECT_TRUE(Pane.Lines() == expected) << Pane.moMsg->length();
}
