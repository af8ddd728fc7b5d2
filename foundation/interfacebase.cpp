#include "interfacebase.h"

TModuleInterface::TModuleInterface(QWidget *AParent, Qt::WindowFlags AFlags)
    : QWidget(AParent, AFlags)
{
}

TModuleInterface::~TModuleInterface() = default;

void TModuleInterface::SetCore(ICore *)
{
    throw EAbstractError();
}

void TModuleInterface::Start(const QString &)
{
    throw EAbstractError();
}

void TModuleInterface::Stop()
{
    throw EAbstractError();
}
