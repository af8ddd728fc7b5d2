// Stands in for the application object's exception event; Qt has none (QApplication::notify is only a place to catch), so the event and its standard error box live here.
#include "appexception.h"

#include <QApplication>
#include <QMessageBox>

namespace {

TExceptionEvent &handler()
{
    static TExceptionEvent h;
    return h;
}

} // namespace

TExceptionEvent SetApplicationOnException(TExceptionEvent Handler)
{
    TExceptionEvent previous = std::move(handler());
    handler() = std::move(Handler);
    return previous;
}

void HandleApplicationException(const std::exception &E)
{
    if (handler()) {
        // Copy first: the handler may replace itself.
        const TExceptionEvent h = handler();
        h(E);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          QString::fromUtf8(E.what()));
}
