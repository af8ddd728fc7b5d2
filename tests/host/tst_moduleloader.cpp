#include "hosttestsupport.h"
#include "testsupport.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QStringList LogOf(QWidget *AWindow)
{
    return AWindow->property("Log").toStringList();
}

// Closes the current module window and waits until it has freed itself.
void CloseCurrent()
{
    QPointer<TModuleInterface> window = TModule::Obj()->CurrentModule();
    if (!window)
        return;
    window->close();
    ASSERT_TRUE(WaitFor([&] { return window.isNull(); }));
}

class ModuleLoaderTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        CloseCurrent();
        TModule::Obj()->Finalize();
        qunsetenv("KB_FIXTURE_SETCORE_THROWS");
    }
};

} // namespace

TEST_F(ModuleLoaderTest, LoaderExistsBeforeAnyoneAsksAndIsOne)
{
    EXPECT_EQ(TModule::Obj(), TModule::Obj());
    EXPECT_EQ(TModule::Obj()->parent(), nullptr);
    EXPECT_TRUE(TModule::ModulePath(QStringLiteral("Glow0001"))
                    .endsWith(QStringLiteral("/Modules/libGlow0001.so")));
    EXPECT_TRUE(TModule::ModulePath(QString()).endsWith(QStringLiteral("/Modules/lib.so")));
}

TEST_F(ModuleLoaderTest, GoodModuleOpensAsTopLevelWindowWithTheCore)
{
    ToolBarRecorder recorder;
    TModule *loader = TModule::Obj();
    TModuleInterface *window = loader->LoadModule(nullptr, QStringLiteral("Good"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(loader->CurrentModule(), window);
    EXPECT_TRUE(loader->IsLoaded());
    EXPECT_TRUE(IsResident(QStringLiteral("Good")));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(LogOf(window), QStringList{QStringLiteral("SetCore")});

    // Its show posted "Module"; its close posts "Main" and frees it.
    ASSERT_TRUE(WaitFor([&] { return !recorder.Names.isEmpty(); }));
    EXPECT_EQ(recorder.Names, QStringList{QStringLiteral("Module")});
    CloseCurrent();
    ASSERT_TRUE(WaitFor([&] { return recorder.Names.size() == 2; }));
    EXPECT_EQ(recorder.Names.last(), QStringLiteral("Main"));

    // The closed window is forgotten, so nothing can call into it.
    EXPECT_EQ(loader->CurrentModule(), nullptr);
    EXPECT_TRUE(IsResident(QStringLiteral("Good")));
    loader->Finalize();
    EXPECT_FALSE(loader->IsLoaded());
    EXPECT_FALSE(IsResident(QStringLiteral("Good")));
    loader->Finalize(); // a second call does nothing
    EXPECT_FALSE(loader->IsLoaded());
}

TEST_F(ModuleLoaderTest, SecondLoadFreesTheLibraryAndLoadsItAfresh)
{
    TModule *loader = TModule::Obj();
    QPointer<TModuleInterface> first = loader->LoadModule(nullptr, QStringLiteral("Good"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->property("Serial").toInt(), 1);
    CloseCurrent();

    QPointer<TModuleInterface> second = loader->LoadModule(nullptr, QStringLiteral("Good"));
    ASSERT_TRUE(second);
    // A fresh copy of the library counts its windows from 1 again.
    EXPECT_EQ(second->property("Serial").toInt(), 1);
    EXPECT_TRUE(first.isNull());
}

TEST_F(ModuleLoaderTest, WindowStillOpenIsFreedBeforeItsLibrary)
{
    TModule *loader = TModule::Obj();
    QPointer<TModuleInterface> window = loader->LoadModule(nullptr, QStringLiteral("Good"));
    ASSERT_TRUE(window);
    // Loading anything else would unload the window's code under it.
    EXPECT_EQ(loader->LoadModule(nullptr, QStringLiteral("DoesNotExist")), nullptr);
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(IsResident(QStringLiteral("Good")));
    EXPECT_FALSE(loader->IsLoaded());
}

TEST_F(ModuleLoaderTest, UnloadableFilesFailSilentlyAndFreeWhatWasHeld)
{
    TModule *loader = TModule::Obj();
    for (const QString &name : {QStringLiteral("DoesNotExist"), QStringLiteral("NotALib"), QString(),
                                QStringLiteral("../NotALib"), QStringLiteral("good")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(loader->LoadModule(nullptr, QStringLiteral("NoExport")), nullptr);
        EXPECT_TRUE(IsResident(QStringLiteral("NoExport")));
        EXPECT_EQ(loader->LoadModule(nullptr, name), nullptr);
        EXPECT_FALSE(loader->IsLoaded());
        EXPECT_FALSE(IsResident(QStringLiteral("NoExport")));
        EXPECT_EQ(loader->CurrentModule(), nullptr);
    }
}

TEST_F(ModuleLoaderTest, LibraryWithoutExportStaysLoadedUntilTheNextLoad)
{
    TModule *loader = TModule::Obj();
    EXPECT_EQ(loader->LoadModule(nullptr, QStringLiteral("NoExport")), nullptr);
    EXPECT_TRUE(loader->IsLoaded());
    EXPECT_TRUE(IsResident(QStringLiteral("NoExport")));
    EXPECT_EQ(loader->CurrentModule(), nullptr);

    ASSERT_NE(loader->LoadModule(nullptr, QStringLiteral("Good")), nullptr);
    EXPECT_FALSE(IsResident(QStringLiteral("NoExport")));
}

TEST_F(ModuleLoaderTest, ThrowingCreateModuleReachesTheCallerAndKeepsTheLibrary)
{
    TModule *loader = TModule::Obj();
    EXPECT_THROW(loader->LoadModule(nullptr, QStringLiteral("Throws")), std::runtime_error);
    EXPECT_TRUE(loader->IsLoaded());
    EXPECT_EQ(loader->CurrentModule(), nullptr);
    loader->Finalize();
    EXPECT_FALSE(IsResident(QStringLiteral("Throws")));
}

TEST_F(ModuleLoaderTest, ThrowingSetCoreLeavesAWindowThatIsFreedBeforeUnloading)
{
    qputenv("KB_FIXTURE_SETCORE_THROWS", "1");
    TModule *loader = TModule::Obj();
    EXPECT_THROW(loader->LoadModule(nullptr, QStringLiteral("Good")), std::runtime_error);
    QPointer<TModuleInterface> window = loader->CurrentModule();
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isVisible());
    loader->Finalize();
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(IsResident(QStringLiteral("Good")));
}

