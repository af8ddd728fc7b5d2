// A program that the engine cannot interrupt is given up after Stop. Its
// thread keeps running until the process ends, so what it holds is still in
// use at exit: leak checking cannot apply to this executable.
#include "scripthostfixture.h"

extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options()
{
    return "detect_leaks=0";
}

namespace {

// Recursion that catches its own stack overflow never reaches a point where
// the engine honours an interruption. Stop then gives the run up: the window
// stays usable, the next run starts, and the window can still be closed.
TEST_F(ScriptHostTest, UninterruptibleRunIsGivenUp)
{
    auto *P = new TProbe(Window.get());
    P->setObjectName("Probe");
    Run(QStringLiteral("function shutdown() { print('down'); }\nprint('going');\nProbe.Value = 1;\n"
                       "function r() { try { r(); } catch (e) { r(); } }\nr();"),
        {P});
    ASSERT_TRUE(processEventsUntil([&] { return P->Writes == QList<int>{1}; }));
    StopScriptHost();
    Run(QStringLiteral("print('next');\nProbe.Value = 2;"), {P});
    ASSERT_TRUE(WaitForMessages(2));
    EXPECT_EQ(Core.Messages, QStringList({"going", "next"}));
    ASSERT_TRUE(processEventsUntil([&] { return P->Writes == QList<int>({1, 2}); }));

    // Given up while the window closes.
    Run(QStringLiteral("function r() { try { r(); } catch (e) { r(); } }\nr();"), {P});
    QTest::qWait(50);
    Window.reset(); // leaves its thread behind at once
    EXPECT_EQ(Core.Messages.size(), 2);
}

} // namespace

#include "moc_scripthostfixture.cpp"
