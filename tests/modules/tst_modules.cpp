// The sandbox and the two lessons, loaded as the host loads them.
#include "modulefakes.h"
#include "sprite.h"
#include "testsupport.h"

#include <QTest>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "saveforminfo.h"

namespace {

class ModulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FPreviousFile = TSaveFormInfo::SetFileName(FDir.filePath("FormInfo.ini"));
    }
    void TearDown() override
    {
        TSaveFormInfo::SetFileName(FPreviousFile);
        GCore = nullptr;
    }

    TRecordingEngineScope FEngine;
    TRecordingCore FCore;
    QTemporaryDir FDir;
    QString FPreviousFile;
};

QStringList SourceLines(const TRecordingCore &ACore)
{
    for (const QString &entry : ACore.Log)
        if (entry.startsWith("SetSourceCode "))
            return entry.mid(14).split("\r\n");
    return {};
}

} // namespace

TEST_F(ModulesTest, SandboxMakesSpritesOnItsWindow)
{
    QPointer<TModuleInterface> w = CreateWindow("Empty");
    ASSERT_TRUE(w);
    EXPECT_STREQ(w->metaObject()->className(), "TfmModule");
    EXPECT_EQ(w->windowTitle(), "Empty");
    EXPECT_EQ(w->size(), QSize(480, 600));
    EXPECT_EQ(w->parentWidget(), nullptr);
    w->SetCore(&FCore);
    w->show();
    // The sandbox sends no program: the editor keeps the link's sample.
    EXPECT_EQ(FCore.Log, (QStringList{"Add", "SetToolBar Module"}));

    TEngineRecord::Calls().clear();
    w->Start("createSprite();");
    EXPECT_EQ(TEngineRecord::Calls(),
              (QStringList{"Prepare", "AddGlobalFunctions TJSFunctions", "AddObject Screen", "AddObject OpenDialog",
                           "AddObject SaveDialog", "Start createSprite();"}));
    EXPECT_EQ(TEngineRecord::Objects().value(0), w.data());

    // The engine makes its own instance and calls createSprite on it.
    const QMetaObject *cls = TEngineRecord::GlobalClass();
    ASSERT_NE(cls, nullptr);
    std::unique_ptr<QObject> functions(cls->newInstance());
    ASSERT_TRUE(functions);
    TSprite *first = nullptr, *second = nullptr;
    ASSERT_TRUE(QMetaObject::invokeMethod(functions.get(), "createSprite", Q_RETURN_ARG(TSprite *, first)));
    ASSERT_TRUE(QMetaObject::invokeMethod(functions.get(), "createSprite", Q_RETURN_ARG(TSprite *, second)));
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->parentWidget(), w.data());
    EXPECT_FALSE(first->GetVisible());
    EXPECT_EQ(first->pos(), QPoint(0, 0));
    EXPECT_EQ(TEngineRecord::Calls().count("ObjectCreated TSprite"), 2);

    // Sprites stay over Stop and the next run, until the window goes.
    QPointer<TSprite> kept = first;
    w->Stop();
    w->Start("");
    EXPECT_TRUE(kept);
    w->close();
    ASSERT_TRUE(WaitFor([&] { return w.isNull(); }));
    EXPECT_TRUE(kept.isNull());

    // With the window gone createSprite makes nothing.
    TSprite *none = reinterpret_cast<TSprite *>(0x1);
    ASSERT_TRUE(QMetaObject::invokeMethod(functions.get(), "createSprite", Q_RETURN_ARG(TSprite *, none)));
    EXPECT_EQ(none, nullptr);
}

TEST_F(ModulesTest, LessonOnePlacesLedAndSendsItsProgramAfterModuleMode)
{
    QPointer<TModuleInterface> w = CreateWindow("Glow0001");
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "Glow0001 - Blinking a LED");
    EXPECT_EQ(TEngineRecord::Calls().value(0), "CreateObject TLED Color=red none");
    auto *led = w->findChild<QWidget *>("TLED");
    auto *shape = w->findChild<QWidget *>("Shape1");
    auto *image = w->findChild<QWidget *>("Image1");
    ASSERT_TRUE(led && shape && image);
    EXPECT_EQ(led->parentWidget(), w.data());
    EXPECT_EQ(led->geometry(), shape->geometry());
    EXPECT_EQ(shape->geometry(), QRect(136, 374, 32, 32));
    EXPECT_TRUE(shape->isHidden());
    EXPECT_EQ(image->geometry(), QRect(0, 0, 358, 401));

    w->SetCore(&FCore);
    w->show();
    ASSERT_EQ(FCore.Log.size(), 3);
    EXPECT_EQ(FCore.Log[1], "SetToolBar Module");
    const QStringList lines = SourceLines(FCore);
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines[0], "// Run 버턴을 클릭하면 한 번만 실행 됩니다.");
    EXPECT_EQ(lines[3], "  LED.plus  = pin(13);");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[19], "}");

    TEngineRecord::Calls().clear();
    w->Start("loop");
    EXPECT_EQ(TEngineRecord::Calls(), (QStringList{"Prepare", "AddObject Screen", "AddObject LED",
                                                   "AddObject OpenDialog", "AddObject SaveDialog", "Start loop"}));
    EXPECT_EQ(TEngineRecord::Objects().value(1), led);

    QPointer<QWidget> ledAlive = led;
    w->close();
    ASSERT_TRUE(WaitFor([&] { return w.isNull(); }));
    EXPECT_TRUE(ledAlive.isNull());
}

TEST_F(ModulesTest, LessonTwoAddsDialAndLabelAndKeepsTheProgramsSpaces)
{
    QPointer<TModuleInterface> w = CreateWindow("Glow0002");
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "Glow0002 - Potentiometer");
    EXPECT_EQ(TEngineRecord::Calls(),
              (QStringList{"CreateObject TLED Color=red none", "CreateObject TDial MinAngle=145; MaxAngle=3450 picture"}));
    auto *dial = w->findChild<QWidget *>("TDial");
    auto *imgDial = w->findChild<QWidget *>("imgDial");
    auto *label = w->findChild<QLabel *>("lbDial");
    ASSERT_TRUE(dial && imgDial && label);
    EXPECT_EQ(dial->geometry(), QRect(95, 412, 120, 120));
    EXPECT_EQ(imgDial->geometry(), QRect(96, 412, 120, 120));
    EXPECT_TRUE(imgDial->isHidden());
    EXPECT_EQ(label->geometry(), QRect(96, 534, 120, 13));
    EXPECT_EQ(label->property("Caption").toString(), "0");
    label->setProperty("Caption", "500");
    EXPECT_EQ(label->text(), "500");

    w->SetCore(&FCore);
    w->show();
    const QStringList lines = SourceLines(FCore);
    ASSERT_EQ(lines.size(), 28);
    EXPECT_TRUE(lines[10].endsWith("1초까지 변하게 됩니다. "));
    EXPECT_EQ(lines[12], "  ");
    EXPECT_EQ(lines[14], "  Label.Caption = p.toString(); ");
    EXPECT_EQ(lines[27], "}");

    TEngineRecord::Calls().clear();
    w->Start("");
    EXPECT_EQ(TEngineRecord::Calls(),
              (QStringList{"Prepare", "AddObject Screen", "AddObject LED", "AddObject Dial", "AddObject Label",
                           "AddObject OpenDialog", "AddObject SaveDialog", "Start "}));
    delete w.data();
}

TEST_F(ModulesTest, LessonsWithoutEngineControlsStillOpenAndRun)
{
    TEngineRecord::CreateNothing() = true;
    for (const char *name : {"Glow0001", "Glow0002"}) {
        QPointer<TModuleInterface> w = CreateWindow(name);
        ASSERT_TRUE(w);
        w->SetCore(&FCore);
        w->show();
        TEngineRecord::Calls().clear();
        w->Start("x");
        EXPECT_FALSE(TEngineRecord::Calls().contains("AddObject LED")) << name;
        EXPECT_FALSE(TEngineRecord::Calls().contains("AddObject Dial")) << name;
        EXPECT_EQ(TEngineRecord::Calls().last(), "Start x");
        w->close();
        ASSERT_TRUE(WaitFor([&] { return w.isNull(); }));
    }
}
