#pragma once

#include "foundation_export.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWindow>

class QWidget;

// Remembers a form's outer Left, Top, Width and Height in "FormInfo.ini" in
// the program folder, in a section named after the form's class. Made by the
// form on its first show, as the form's child: it reads and applies the
// stored placement at once, and writes the form's bounds when it is freed,
// which the form does in its destructor while it still has its final bounds.
class FOUNDATION_EXPORT TSaveFormInfo : public QObject
{
    Q_OBJECT

public:
    // The four integers are the defaults of the keys that are missing; a
    // stored width or height of 0 (or below) counts as missing. A stored size
    // that covers its monitor maximizes the form on that monitor; stored
    // bounds on no monitor leave the form where and as it was. Sizes beyond
    // 32767 are cut to it and a top above every monitor is brought down to
    // them, so that a hostile file still gives a window that can be reached.
    // Made before the form's native window exists, so that it opens there.
    TSaveFormInfo(QWidget *AOwner, int ALeft, int ATop, int AWidth, int AHeight);
    ~TSaveFormInfo() override;

    // Writes the form's current outer bounds, a maximized form's at least
    // as large as its monitor; nothing when it has no form. False when the
    // file could not be written (a folder that takes no file, a full disk).
    bool SaveInfo();

    // Frees AInfo and sets it to nullptr, writing the placement as freeing
    // always does; false when that write failed. For an owner that reports
    // the failure, which the destructor cannot.
    static bool Free(TSaveFormInfo *&AInfo);

    // GetExecPath() + "FormInfo.ini", or the file a test put in its place.
    static QString FileName();

    // For tests only: the section (the form's class name as it was when this
    // was made), and another file in place of "FormInfo.ini"; an empty name
    // restores it. SetFileName returns the name it replaces.
    QString Section() const { return FSection; }
    static QString SetFileName(const QString &AFileName);

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    // Once the window manager has finished the frame: the outer bounds
    // applied as client bounds made exact, unless the window is maximized.
    void CorrectToFrame();

    QPointer<QWidget> FForm;
    QString FSection;
    // The outer bounds applied before the window had a frame; set again once
    // the frame is finished, so that the window does not grow by its frame at
    // every start, and stands where it was even when its first mapping put
    // it elsewhere.
    QRect FPendingBounds;
    QPointer<QWindow> FExposeWatch;
};
