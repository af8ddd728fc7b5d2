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

#include <QFileInfo>
#include <QMetaMethod>
#include <QSet>
#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

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

// The file of the loaded library that holds AAddress; empty when none does.
QString LibraryAt(const void *AAddress)
{
    Dl_info info;
    return dladdr(AAddress, &info) && info.dli_fname ? QFileInfo(QFile::decodeName(info.dli_fname)).canonicalFilePath()
                                                     : QString();
}

// What one load of a module library left behind: the custom types that its
// published members name, by name, and the pages it was mapped to.
struct TModuleUse
{
    QMap<QByteArray, int> Types;
    quintptr Start = 0;
    quintptr End = 0;
};

// Loads the module library, makes its window, looks up the type of every
// published member of every object the window and its program see (as the
// engine does, which registers each), then closes the window and frees the
// library.
TModuleUse UseModule(const char *AName, TRecordingCore &ACore)
{
    TModuleUse use;
    const QString path = QStringLiteral(KB_MODULES_DIR "/lib%1.so").arg(QLatin1String(AName));
    TModuleLibrary library;
    if (!library.Load(path)) {
        ADD_FAILURE() << qPrintable(library.ErrorString());
        return use;
    }
    const auto create = library.Resolve<TCreateModule>("CreateModule");
    Dl_info info;
    if (!create || !dladdr(reinterpret_cast<const void *>(create), &info)) {
        ADD_FAILURE() << "no CreateModule in " << AName;
        return use;
    }
    use.Start = quintptr(info.dli_fbase);
    dl_iterate_phdr(
        [](dl_phdr_info *AInfo, size_t, void *AUse) {
            auto *u = static_cast<TModuleUse *>(AUse);
            if (AInfo->dlpi_addr != u->Start)
                return 0;
            for (int i = 0; i < AInfo->dlpi_phnum; ++i)
                if (AInfo->dlpi_phdr[i].p_type == PT_LOAD)
                    u->End = qMax(u->End, quintptr(AInfo->dlpi_addr + AInfo->dlpi_phdr[i].p_vaddr
                                                   + AInfo->dlpi_phdr[i].p_memsz));
            return 1;
        },
        &use);

    TEngineRecord::Clear();
    QPointer<TModuleInterface> w = create(qApp, nullptr);
    w->SetCore(&ACore);
    w->Start("");
    QSet<const QMetaObject *> classes{w->metaObject()};
    for (const QObject *o : w->findChildren<QObject *>())
        classes << o->metaObject();
    for (const QObject *o : TEngineRecord::Objects())
        classes << o->metaObject();
    if (TEngineRecord::GlobalClass())
        classes << TEngineRecord::GlobalClass();
    const auto named = [&](QMetaType AType) {
        if (AType.id() >= QMetaType::User)
            use.Types.insert(AType.name(), AType.id());
    };
    for (const QMetaObject *m : std::as_const(classes)) {
        for (int i = QObject::staticMetaObject.methodCount(); i < m->methodCount(); ++i) {
            named(m->method(i).returnMetaType());
            for (int p = 0; p < m->method(i).parameterCount(); ++p)
                named(m->method(i).parameterMetaType(p));
        }
        for (int i = 0; i < m->constructorCount(); ++i)
            for (int p = 0; p < m->constructor(i).parameterCount(); ++p)
                named(m->constructor(i).parameterMetaType(p));
        for (int i = QObject::staticMetaObject.propertyCount(); i < m->propertyCount(); ++i)
            named(m->property(i).metaType());
    }
    TEngineRecord::Clear();
    w->close();
    EXPECT_TRUE(WaitFor([&] { return w.isNull(); }));
    library.Free();
    return use;
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

// Qt's registry keeps the first type record it is given for a type's name;
// one inside a module library would be unmapped with it, and the next look-up
// of that type would read freed pages.
TEST_F(ModulesTest, TypesThatModulesNameKeepTheirRecordsWhenTheModulesUnload)
{
    const QString modulesDir = QFileInfo(QStringLiteral(KB_MODULES_DIR)).canonicalFilePath() + QLatin1Char('/');
    QList<std::pair<void *, size_t>> blocked;
    const QList<std::pair<const char *, QList<QByteArray>>> modules{
        {"Empty", {"TSprite*"}},
        {"Glow0001", {"TValueList*"}},
        {"Glow0002", {"TValueList*"}},
        {"Skivo", {"TSprite*", "TImageList*", "QWidget*"}}};
    for (const auto &[name, named] : modules) {
        SCOPED_TRACE(name);
        const QString path = QStringLiteral(KB_MODULES_DIR "/lib%1.so").arg(QLatin1String(name));
        // Another test of this process may hold the library; then it stays.
        const bool heldBefore = TModuleLibrary::IsResident(path);
        const TModuleUse first = UseModule(name, FCore);
        ASSERT_NE(first.Start, 0u);
        for (const QByteArray &type : named)
            EXPECT_TRUE(first.Types.contains(type)) << type.constData();
        // Where the registry's record for each type lies, by its address
        // alone: reading a stale one could fault.
        for (auto it = first.Types.cbegin(); it != first.Types.cend(); ++it) {
            const QString holder = LibraryAt(QMetaType(it.value()).iface());
            ASSERT_FALSE(holder.isEmpty() || holder.startsWith(modulesDir))
                << it.key().constData() << " is registered from " << qPrintable(holder.isEmpty() ? "unmapped pages" : holder);
        }
        if (heldBefore || TModuleLibrary::IsResident(path))
            continue;
        // Nothing may come back where it was: a record left there would fault.
        const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
        const quintptr end = (first.End + page - 1) & ~(page - 1);
        void *block = mmap(reinterpret_cast<void *>(first.Start), end - first.Start, PROT_NONE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (block != MAP_FAILED)
            blocked.append({block, end - first.Start});
        EXPECT_EQ(UseModule(name, FCore).Types, first.Types);
    }
    for (const auto &[address, size] : blocked)
        munmap(address, size);
}
