#include "interfacebase.h"

#include <memory>
#include <gtest/gtest.h>

namespace {

// A window class that implements none of the module operations.
class BareWindow : public TModuleInterface
{
    Q_OBJECT
};

// One that implements Start only, as a half-finished module might.
class StartOnlyWindow : public TModuleInterface
{
    Q_OBJECT
public:
    QString Code;
    void Start(const QString &ACode) override { Code = ACode; }
};

TModuleInterface *makeStartOnly(QApplication *, QObject *)
{
    return new StartOnlyWindow;
}

} // namespace

TEST(Contract, ModuleOperationsThatAreNotOverriddenRaiseTheAbstractError)
{
    BareWindow bare;
    TModuleInterface &host = bare;
    EXPECT_THROW(host.SetCore(nullptr), EAbstractError);
    EXPECT_THROW(host.Start("loop();"), EAbstractError);
    EXPECT_THROW(host.Stop(), EAbstractError);
    try {
        host.Stop();
    } catch (const std::exception &e) {
        EXPECT_STREQ(e.what(), "Abstract Error");
    }

    // Through the module entry's type, as the loader calls it.
    TCreateModule create = &makeStartOnly;
    std::unique_ptr<TModuleInterface> window(create(qApp, nullptr));
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_NO_THROW(window->Start("setup();"));
    EXPECT_EQ(static_cast<StartOnlyWindow *>(window.get())->Code, "setup();");
    EXPECT_THROW(window->Stop(), EAbstractError);
}

#include "tst_contract.moc"
