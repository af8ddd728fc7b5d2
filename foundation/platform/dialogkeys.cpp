// Stands in for the form framework's dialog keys (Enter, Esc and accelerators offered to a form's controls); QDialog's default button and QShortcut reach only push buttons and actions, not every control in child order.
#include "dialogkeys.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

namespace {

// Multi-line editors, read-only ones too, as the platform's edit controls
// are. The host's editor and message pane are QScintilla editors, known by
// their base class's name so that the foundation need not link that library.
bool IsMultiLineEditor(const QWidget *AControl)
{
    return qobject_cast<const QPlainTextEdit *>(AControl) || qobject_cast<const QTextEdit *>(AControl)
        || AControl->inherits("QsciScintillaBase");
}

// A multi-line editor takes Enter and Esc itself; any widget can say otherwise
// through the property "WantDialogKeys".
bool WantsDialogKeys(const QWidget *AControl)
{
    const QVariant want = AControl->property("WantDialogKeys");
    if (want.isValid())
        return want.toBool();
    return IsMultiLineEditor(AControl);
}

bool IsDialogKey(int AKey)
{
    return AKey == Qt::Key_Return || AKey == Qt::Key_Enter || AKey == Qt::Key_Escape;
}

bool Offer(QWidget *AControl, TDialogKeyEvent &AEvent)
{
    QCoreApplication::sendEvent(AControl, &AEvent);
    return AEvent.isAccepted();
}

// Every visible control below AParent, each before its own children, skipping
// ASkip (already asked) and other top-level windows parented here.
bool Broadcast(QWidget *AParent, TDialogKeyEvent &AEvent, const QWidget *ASkip)
{
    const QObjectList children = AParent->children();
    for (QObject *child : children) {
        auto *control = qobject_cast<QWidget *>(child);
        if (!control || control->isWindow() || !control->isVisible())
            continue;
        if (control != ASkip && Offer(control, AEvent))
            return true;
        if (Broadcast(control, AEvent, ASkip))
            return true;
    }
    return false;
}

QWidget *FocusedControlOf(QWidget *AForm)
{
    QWidget *focus = QApplication::focusWidget();
    return focus && focus->window() == AForm ? focus : nullptr;
}

} // namespace

QEvent::Type TDialogKeyEvent::KeyType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type TDialogKeyEvent::CharType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TDialogKeyEvent::TDialogKeyEvent(QEvent::Type AType, int AKey, Qt::KeyboardModifiers AModifiers,
                                 const QString &AText)
    : QEvent(AType), FKey(AKey), FModifiers(AModifiers), FText(AText)
{
    ignore();
}

bool TDialogKeyEvent::HasShiftKeys() const
{
    return FModifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
}

TDialogKeys::TDialogKeys(QWidget *AForm) : QObject(AForm), FForm(AForm)
{
    setObjectName(QStringLiteral("DialogKeys"));
    qApp->installEventFilter(this);
}

TDialogKeys *TDialogKeys::Install(QWidget *AControl)
{
    if (!AControl)
        return nullptr;
    QWidget *form = AControl->window();
    if (auto *existing = form->findChild<TDialogKeys *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new TDialogKeys(form);
}

bool TDialogKeys::OfferKey(QWidget *AForm, int AKey, Qt::KeyboardModifiers AModifiers)
{
    if (!AForm)
        return false;
    TDialogKeyEvent event(TDialogKeyEvent::KeyType(), AKey, AModifiers, QString());
    // The focused control first, so that Enter presses the focused button
    // even when a default button comes earlier in the window.
    QWidget *focus = FocusedControlOf(AForm);
    if (focus && focus->isVisible() && Offer(focus, event))
        return true;
    return Broadcast(AForm, event, focus);
}

bool TDialogKeys::OfferChar(QWidget *AForm, const QString &AText, Qt::KeyboardModifiers AModifiers)
{
    if (!AForm || AText.isEmpty())
        return false;
    TDialogKeyEvent event(TDialogKeyEvent::CharType(), 0, AModifiers, AText);
    return Broadcast(AForm, event, nullptr);
}

bool TDialogKeys::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() != QEvent::KeyPress || !AWatched->isWidgetType())
        return false;
    auto *target = static_cast<QWidget *>(AWatched);
    if (target->window() != FForm)
        return false;
    // Only the first delivery, to the focused control (or the window when
    // nothing has the focus); an ignored key travelling on to the parents is
    // not offered a second time.
    QWidget *focus = FocusedControlOf(FForm);
    if (target != (focus ? focus : FForm))
        return false;

    auto *key = static_cast<QKeyEvent *>(AEvent);
    QWidget *form = FForm; // a click may free the window and this routing with it
    if (IsDialogKey(key->key())) {
        if (focus && WantsDialogKeys(focus))
            return false;
        return OfferKey(form, key->key(), key->modifiers());
    }

    const QString text = key->text();
    if (text.size() != 1 || !text.at(0).isPrint())
        return false;
    const bool alt = key->modifiers() & Qt::AltModifier;
    const bool takesText =
        focus && (focus->testAttribute(Qt::WA_InputMethodEnabled) || IsMultiLineEditor(focus));
    if (!alt && takesText)
        return false;
    return OfferChar(form, text, key->modifiers());
}

QChar GetHotkey(const QString &AText)
{
    QChar hotkey;
    const qsizetype length = AText.size();
    for (qsizetype i = 0; i < length; ++i) {
        if (AText.at(i) == u'&' && i + 1 < length) {
            ++i;
            if (AText.at(i) != u'&')
                hotkey = AText.at(i); // the last one counts
        }
    }
    return hotkey;
}

bool IsAccel(QChar AChar, const QString &AText)
{
    const QChar hotkey = GetHotkey(AText);
    return !hotkey.isNull() && QString(hotkey).compare(QString(AChar), Qt::CaseInsensitive) == 0;
}

QWidget *GetParentForm(QWidget *AControl)
{
    if (!AControl || !AControl->parentWidget())
        return nullptr;
    return AControl->window();
}

void SetFormModalResult(QWidget *AForm, int AValue)
{
    if (!AForm)
        return;
    AForm->setProperty("ModalResult", AValue);
    auto *dialog = qobject_cast<QDialog *>(AForm);
    if (!dialog || AValue == 0)
        return;
    QMetaObject::invokeMethod(
        dialog,
        [dialog] {
            const int result = FormModalResult(dialog);
            if (result != 0 && dialog->isVisible() && dialog->isModal())
                dialog->done(result);
        },
        Qt::QueuedConnection);
}

int FormModalResult(const QWidget *AForm)
{
    return AForm ? AForm->property("ModalResult").toInt() : 0;
}
