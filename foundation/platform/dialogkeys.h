// Stands in for the form framework's dialog keys (Enter, Esc and accelerators offered to a form's controls); QDialog's default button and QShortcut reach only push buttons and actions, not every control in child order.
#pragma once

#include "foundation_export.h"

#include <QEvent>
#include <QObject>
#include <QString>

class QWidget;

// A form's dialog keys, as a top-level window offers them to its controls.
//
// Enter and Esc are offered (TDialogKeyEvent::KeyType) before the focused
// control sees them, unless that control wants them itself (a multi-line
// editor, QScintilla's included, or any widget with the property
// "WantDialogKeys" set true). The
// focused control is asked first, then every visible control of the window in
// child order, depth first, until one accepts the event; a key that is taken
// never reaches the focused control.
//
// A typed character is offered (TDialogKeyEvent::CharType) as an accelerator
// when Alt is held, or when the focused control takes no text input (a
// multi-line editor counts as taking it, also when read-only); the
// visible controls are asked in child order until one accepts it. Hidden
// controls are never asked, so a button that cannot be seen cannot be pressed.
class FOUNDATION_EXPORT TDialogKeyEvent : public QEvent
{
public:
    static QEvent::Type KeyType();
    static QEvent::Type CharType();

    // Starts ignored: a control that takes the key or character accepts it.
    TDialogKeyEvent(QEvent::Type AType, int AKey, Qt::KeyboardModifiers AModifiers,
                    const QString &AText);

    int Key() const { return FKey; }
    QString Text() const { return FText; }

    // Shift, Ctrl or Alt held (the keypad flag is no shift key).
    bool HasShiftKeys() const;

private:
    int FKey;
    Qt::KeyboardModifiers FModifiers;
    QString FText;
};

// The routing for one top-level window; it lives as a child of that window.
class FOUNDATION_EXPORT TDialogKeys : public QObject
{
    Q_OBJECT

public:
    // The routing of AControl's top-level window, made on first use.
    static TDialogKeys *Install(QWidget *AControl);

    // Offers a dialog key or an accelerator character to AForm's controls;
    // true when one took it.
    static bool OfferKey(QWidget *AForm, int AKey, Qt::KeyboardModifiers AModifiers);
    static bool OfferChar(QWidget *AForm, const QString &AText, Qt::KeyboardModifiers AModifiers);

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    explicit TDialogKeys(QWidget *AForm);
    QWidget *FForm;
};

// The accelerator of a caption: the character after the last single "&"
// ("&&" stands for one ampersand); null when there is none.
FOUNDATION_EXPORT QChar GetHotkey(const QString &AText);
// AChar is the accelerator of AText, compared without regard to case.
FOUNDATION_EXPORT bool IsAccel(QChar AChar, const QString &AText);

// The containing form of a control: its top-level window, or nothing for a
// control without a parent.
FOUNDATION_EXPORT QWidget *GetParentForm(QWidget *AControl);

// A form's modal result, kept in its property "ModalResult" (a declared
// property of that name is used when the form has one). Setting a value other
// than 0 on a QDialog that runs modally ends it with that value once control
// is back in the event loop, after the handler that set it, which may still
// set it back to 0.
FOUNDATION_EXPORT void SetFormModalResult(QWidget *AForm, int AValue);
FOUNDATION_EXPORT int FormModalResult(const QWidget *AForm);
