// TXiButton's answers to the mouse, the keyboard, the focus, and its window's
// dialog keys and accelerators.

#include "dialogkeys.h"
#include "testsupport.h"
#include "xibutton.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// The host's source editor and message pane are QScintilla editors; this
// stand-in carries that library's base class name without linking it.
class QsciScintillaBase : public QAbstractScrollArea
{
    Q_OBJECT
public:
    QList<int> Keys;

protected:
    void keyPressEvent(QKeyEvent *AEvent) override { Keys << AEvent->key(); }
};

namespace {

class TProbeButton : public TXiButton
{
public:
    using TXiButton::TXiButton;
    TBtnState Look() const { return FBtnState; }
};

void Enter(QWidget *AWidget)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), AWidget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(AWidget, &event);
}

void Leave(QWidget *AWidget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(AWidget, &event);
}

// A key as the window system delivers it: to the focused control.
void Key(int AKey, Qt::KeyboardModifiers AModifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(AKey), AModifiers);
}

void Char(char AChar, Qt::KeyboardModifiers AModifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), AChar, AModifiers);
}

class XiButtonInput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Form = std::make_unique<QWidget>();
        Form->resize(400, 200);
        Run = new TProbeButton(Form.get());
        Run->setObjectName(QStringLiteral("Run"));
        Run->move(10, 10);
        Run->SetCaption(QStringLiteral("&Run"));
        Stop = new TProbeButton(Form.get());
        Stop->setObjectName(QStringLiteral("Stop"));
        Stop->move(100, 10);
        Stop->SetCaption(QStringLiteral("Stop"));
        Editor = new QPlainTextEdit(Form.get());
        Editor->setGeometry(0, 100, 200, 80);
        Line = new QLineEdit(Form.get());
        Line->setGeometry(210, 100, 150, 24);
        for (TProbeButton *button : {Run, Stop}) {
            QObject::connect(button, &TXiButton::OnClick, button, [this, button] {
                Log << QStringLiteral("click %1 look %2 result %3")
                           .arg(button->objectName())
                           .arg(button->Look())
                           .arg(FormModalResult(Form.get()));
            });
            QObject::connect(button, &TXiButton::OnMouseUp, button,
                             [this, button] { Log << QStringLiteral("up %1").arg(button->objectName()); });
        }
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get(), HangLimitMs()));
    }

    int Clicks(const QString &AName) const
    {
        return int(Log.filter(QStringLiteral("click %1 ").arg(AName)).size());
    }

    std::unique_ptr<QWidget> Form;
    TProbeButton *Run = nullptr;
    TProbeButton *Stop = nullptr;
    QPlainTextEdit *Editor = nullptr;
    QLineEdit *Line = nullptr;
    QStringList Log;
};

} // namespace

TEST_F(XiButtonInput, PressDragOutDragBackAndReleaseInsideClicksOnceBeforeMouseUp)
{
    Line->setFocus();
    QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Run->Look(), TXiButton::bsDown);
    EXPECT_TRUE(Run->hasFocus());
    QTest::mouseMove(Run, QPoint(-20, 10));
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
    QTest::mouseMove(Run, QPoint(20, 12));
    EXPECT_EQ(Run->Look(), TXiButton::bsDown);
    QTest::mouseRelease(Run, Qt::LeftButton, {}, QPoint(20, 12));
    // Shown released (look 0) while the handler runs; the over look after.
    EXPECT_EQ(Log, QStringList({"click Run look 0 result 0", "up Run"}));
    EXPECT_EQ(Run->Look(), TXiButton::bsOver);
}

TEST_F(XiButtonInput, ReleaseOutsideDoesNotClickAndEndsThePress)
{
    QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(Run, QPoint(10, 40));
    QTest::mouseRelease(Run, Qt::LeftButton, {}, QPoint(10, 40));
    EXPECT_EQ(Clicks("Run"), 0);
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
    // The press is over: coming back shows the pointer-over look, not pressed.
    Enter(Run);
    EXPECT_EQ(Run->Look(), TXiButton::bsOver);
    Leave(Run);
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
}

TEST_F(XiButtonInput, ReleaseOnColumnZeroOrRowZeroClicksButKeepsTheNormalLook)
{
    for (QPoint edge : {QPoint(0, 10), QPoint(10, 0)}) {
        Log.clear();
        QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(Run, Qt::LeftButton, {}, edge);
        EXPECT_EQ(Clicks("Run"), 1) << edge.x() << "," << edge.y();
        EXPECT_EQ(Run->Look(), TXiButton::bsNormal) << edge.x() << "," << edge.y();
    }
    Log.clear();
    QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(Run, Qt::LeftButton, {}, QPoint(74, 24));
    EXPECT_EQ(Clicks("Run"), 1);
    EXPECT_EQ(Run->Look(), TXiButton::bsOver);
    QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(Run, Qt::LeftButton, {}, QPoint(75, 10));
    EXPECT_EQ(Clicks("Run"), 1);
}

TEST_F(XiButtonInput, ADoubleClickClicksOnceAndShowsThePressedLookForItsSecondPress)
{
    // As the window system delivers a double-click to a widget.
    const auto send = [this](QEvent::Type AType) {
        QMouseEvent event(AType, QPointF(10, 10), Run->mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                          AType == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(Run, &event);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    send(QEvent::MouseButtonDblClick);
    EXPECT_EQ(Run->Look(), TXiButton::bsDown);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(Clicks("Run"), 1);
    EXPECT_EQ(Log.filter(QStringLiteral("up Run")).size(), 2);
    EXPECT_EQ(Run->Look(), TXiButton::bsOver);
    // The next single press clicks again.
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(Clicks("Run"), 2);
}

TEST_F(XiButtonInput, OtherButtonsNeitherPressNorClickButTheirReleaseShowsOver)
{
    Line->setFocus();
    QTest::mousePress(Run, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
    EXPECT_FALSE(Run->hasFocus());
    QTest::mouseRelease(Run, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(Clicks("Run"), 0);
    EXPECT_EQ(Run->Look(), TXiButton::bsOver);
}

TEST_F(XiButtonInput, WithoutHotTrackThePointerShowsNoOverLook)
{
    Run->SetHotTrack(false);
    Enter(Run);
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
    QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(Run, QPoint(-5, 10));
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
    QTest::mouseMove(Run, QPoint(10, 10));
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal); // re-entering shows nothing either
    QTest::mouseRelease(Run, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Clicks("Run"), 1);
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
}

TEST_F(XiButtonInput, WithoutTabStopAPressLeavesTheFocusWhereItWas)
{
    Run->SetTabStop(false);
    Editor->setFocus();
    QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Run->Look(), TXiButton::bsDown);
    QTest::mouseRelease(Run, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Clicks("Run"), 1);
    EXPECT_TRUE(Editor->hasFocus());
    EXPECT_FALSE(Run->hasFocus());
}

TEST_F(XiButtonInput, EveryPressHandsTheWindowTheModalResultBeforeTheHandler)
{
    Run->SetModalResult(7);
    Run->Click();
    EXPECT_EQ(Log.last(), "click Run look 0 result 7");
    // 0 is handed over as well.
    Stop->Click();
    EXPECT_EQ(Log.last(), "click Stop look 0 result 0");

    // A button without a parent has no window to tell; it still clicks.
    TXiButton lone;
    lone.SetModalResult(3);
    int clicks = 0;
    QObject::connect(&lone, &TXiButton::OnClick, [&clicks] { ++clicks; });
    lone.Click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(XiButtonInput, ModalResultEndsAModalDialogAfterTheHandlerUnlessItIsTakenBack)
{
    QDialog dialog(Form.get());
    auto *ok = new TXiButton(&dialog);
    ok->SetModalResult(2);
    bool takeBack = true;
    QObject::connect(ok, &TXiButton::OnClick, &dialog, [&] {
        if (takeBack)
            SetFormModalResult(&dialog, 0);
    });
    QTimer::singleShot(0, ok, [&] {
        ok->Click(); // taken back: the dialog stays
        QTimer::singleShot(20, ok, [&] {
            EXPECT_TRUE(dialog.isVisible());
            takeBack = false;
            ok->Click();
        });
    });
    EXPECT_EQ(dialog.exec(), 2);
}

TEST_F(XiButtonInput, SpaceHeldShowsThePressedLookAndItsReleaseClicksOnce)
{
    Run->setFocus();
    QTest::keyPress(Run, Qt::Key_Space);
    EXPECT_EQ(Run->Look(), TXiButton::bsDown);
    // An auto-repeat pair, as a held key sends them.
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(Run, &repeatUp);
    QKeyEvent repeatDown(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(Run, &repeatDown);
    EXPECT_EQ(Clicks("Run"), 0);
    EXPECT_EQ(Run->Look(), TXiButton::bsDown);
    QTest::keyRelease(Run, Qt::Key_Space);
    EXPECT_EQ(Clicks("Run"), 1);
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
}

TEST_F(XiButtonInput, LosingTheFocusEndsAKeyboardPress)
{
    Run->setFocus();
    QTest::keyPress(Run, Qt::Key_Space);
    EXPECT_EQ(Run->Look(), TXiButton::bsDown);
    Line->setFocus();
    EXPECT_EQ(Run->Look(), TXiButton::bsNormal);
    EXPECT_EQ(Clicks("Run"), 0);
}

TEST_F(XiButtonInput, EnterPressesTheFocusedButtonEvenWithShiftHeld)
{
    Run->setFocus();
    Key(Qt::Key_Return);
    EXPECT_EQ(Clicks("Run"), 1);
    Key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Clicks("Run"), 2);
    // Not taken as a dialog key with Shift; the key itself still presses it.
    Key(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(Clicks("Run"), 3);
}

TEST_F(XiButtonInput, EnterGoesToTheFocusedButtonBeforeTheDefaultOneUnlessShiftIsHeld)
{
    Stop->SetDefault(true);
    Stop->stackUnder(Run); // the default button first in the window's order
    Run->setFocus();
    Key(Qt::Key_Return);
    EXPECT_EQ(Clicks("Run"), 1);
    EXPECT_EQ(Clicks("Stop"), 0);
    Key(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(Clicks("Run"), 1);
    EXPECT_EQ(Clicks("Stop"), 1);
}

TEST_F(XiButtonInput, EnterFromALineReachesTheDefaultButtonButAnEditorKeepsIt)
{
    Stop->SetDefault(true);
    Line->setFocus();
    Key(Qt::Key_Return);
    Key(Qt::Key_Return, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Clicks("Stop"), 2);

    Editor->setFocus();
    Key(Qt::Key_Return);
    EXPECT_EQ(Clicks("Stop"), 2);
    EXPECT_EQ(Editor->blockCount(), 2);

    // A default button that cannot take the focus takes no key.
    Line->setFocus();
    Stop->setEnabled(false);
    Key(Qt::Key_Return);
    EXPECT_EQ(Clicks("Stop"), 2);
}

TEST_F(XiButtonInput, EscPressesTheCancelButtonWithoutShiftKeysWhileItCanTakeTheFocus)
{
    Stop->SetCancel(true);
    Stop->SetTabStop(false); // no matter: it only has to be able to take the focus
    Line->setFocus();
    Key(Qt::Key_Escape);
    EXPECT_EQ(Clicks("Stop"), 1);
    Key(Qt::Key_Escape, Qt::ShiftModifier);
    Key(Qt::Key_Escape, Qt::AltModifier);
    EXPECT_EQ(Clicks("Stop"), 1);

    Run->setFocus();
    Key(Qt::Key_Escape);
    EXPECT_EQ(Clicks("Stop"), 2);
    EXPECT_EQ(Clicks("Run"), 0);

    Line->setFocus();
    Stop->hide();
    Key(Qt::Key_Escape);
    Stop->show();
    Stop->setEnabled(false);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Clicks("Stop"), 2);

    // A multi-line editor keeps Enter and Esc to itself.
    Stop->setEnabled(true);
    Editor->setFocus();
    Key(Qt::Key_Escape);
    EXPECT_EQ(Clicks("Stop"), 2);
}

TEST_F(XiButtonInput, AcceleratorPressesAnEnabledVisibleButton)
{
    // From a control that takes no text, the letter alone; any case.
    Stop->setFocus();
    Char('R');
    Char('r');
    EXPECT_EQ(Clicks("Run"), 2);
    Char('s'); // "Stop" has no accelerator
    EXPECT_EQ(Clicks("Stop"), 0);

    // From an editor only with Alt; without it the letter is typed.
    Editor->setFocus();
    Char('r');
    EXPECT_EQ(Clicks("Run"), 2);
    EXPECT_EQ(Editor->toPlainText(), QStringLiteral("r"));
    Char('r', Qt::AltModifier);
    EXPECT_EQ(Clicks("Run"), 3);
    EXPECT_EQ(Editor->toPlainText(), QStringLiteral("r"));

    Run->setEnabled(false);
    Char('r', Qt::AltModifier);
    Run->setEnabled(true);
    Run->hide();
    Char('r', Qt::AltModifier);
    EXPECT_EQ(Clicks("Run"), 3);
}

TEST_F(XiButtonInput, ScintillaEditorsAndReadOnlyEditorsKeepTheirKeysAndLetters)
{
    auto *scintilla = new QsciScintillaBase;
    scintilla->setParent(Form.get());
    scintilla->setGeometry(210, 130, 150, 60);
    scintilla->setFocusPolicy(Qt::StrongFocus);
    scintilla->show();
    Stop->SetDefault(true);
    Stop->SetCancel(true);

    scintilla->setFocus();
    Key(Qt::Key_Return);
    Key(Qt::Key_Escape);
    Char('r');
    EXPECT_EQ(Clicks("Stop"), 0);
    EXPECT_EQ(Clicks("Run"), 0);
    EXPECT_EQ(scintilla->Keys, QList<int>({Qt::Key_Return, Qt::Key_Escape, Qt::Key_R}));
    Char('r', Qt::AltModifier);
    EXPECT_EQ(Clicks("Run"), 1);

    // A read-only editor takes no input, yet a plain letter is not an accelerator there.
    Editor->setReadOnly(true);
    Editor->setFocus();
    Char('r');
    EXPECT_EQ(Clicks("Run"), 1);
    Char('r', Qt::AltModifier);
    EXPECT_EQ(Clicks("Run"), 2);
}

TEST(XiButtonAccelerators, TheLastSingleAmpersandNamesTheHotkey)
{
    EXPECT_EQ(GetHotkey(QStringLiteral("&Run")), QChar(u'R'));
    EXPECT_EQ(GetHotkey(QStringLiteral("R&un")), QChar(u'u'));
    EXPECT_EQ(GetHotkey(QStringLiteral("&A&B")), QChar(u'B'));
    EXPECT_TRUE(GetHotkey(QStringLiteral("R&&D")).isNull());
    EXPECT_EQ(GetHotkey(QStringLiteral("R&&&D")), QChar(u'D'));
    EXPECT_TRUE(GetHotkey(QStringLiteral("Run&")).isNull());
    EXPECT_TRUE(GetHotkey(QString()).isNull());
    EXPECT_TRUE(IsAccel(u'r', QStringLiteral("&Run")));
    EXPECT_FALSE(IsAccel(u'u', QStringLiteral("&Run")));
    EXPECT_FALSE(IsAccel(u'&', QStringLiteral("R&&D")));
}

TEST_F(XiButtonInput, ClosingTheWindowFromTheClickHandlerIsSafe)
{
    auto closeOnClick = [this](TXiButton *AButton) {
        QObject::connect(AButton, &TXiButton::OnClick, Form.get(), [this] { Form.reset(); },
                         Qt::DirectConnection);
    };
    closeOnClick(Run);
    // Key presses only: nothing is left to receive the release.
    Run->setFocus();
    QTest::keyPress(Run, Qt::Key_Return, Qt::ShiftModifier); // the button's own key handling
    EXPECT_EQ(Form, nullptr);

    SetUp();
    closeOnClick(Run);
    QTest::mousePress(Run, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(Run, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(Form, nullptr);

    SetUp();
    closeOnClick(Stop);
    Stop->SetCancel(true);
    Line->setFocus();
    QTest::keyPress(Line, Qt::Key_Escape);
    EXPECT_EQ(Form, nullptr);

    SetUp();
    closeOnClick(Run);
    Run->setFocus();
    QTest::keyPress(Run, Qt::Key_Space);
    QTest::keyRelease(Run, Qt::Key_Space);
    EXPECT_EQ(Form, nullptr);
}

#include "tst_xibutton_input.moc"
