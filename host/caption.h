#pragma once

#include "framebase.h"
#include "kbhost_export.h"

#include <QFrame>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QSize>

class QLabel;
class QPlainTextEdit;

// A panel covered edge to edge with copies of one small bitmap from its
// top-left corner. The tiled picture is built off screen once per size (and
// tile) and kept, so that a paint draws only that one picture.
class KBHOST_EXPORT TBitmapTile : public QFrame
{
    Q_OBJECT

public:
    explicit TBitmapTile(QWidget *AOwner = nullptr);
    ~TBitmapTile() override;

    // The tile itself. Writing copies the given bitmap (the caller keeps its
    // own); nothing, or an empty bitmap, leaves no tile.
    QPixmap &Bitmap() { return FBitmap; }
    void SetBitmap(const QPixmap *ABitmap);

    // Brings the cached picture up to date; every paint calls it first.
    void UpdatePreview();
    // For tests only: the cached picture, and how often it has been built
    // since the control was made.
    const QPixmap &Preview() const { return FBitmapPreview; }
    int PreviewBuilds() const { return FPreviewBuilds; }

    // The top-left corners at which tiles of ATile are drawn over AArea:
    // one more row and one more column than fit whole, the rest clipped.
    static QList<QPoint> TileOrigins(const QSize &AArea, const QSize &ATile);

signals:
    void DblClick();

protected:
    void paintEvent(QPaintEvent *AEvent) override;
    void resizeEvent(QResizeEvent *AEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *AEvent) override;

private:
    QPixmap FBitmapPreview;
    QPixmap FBitmap;
    // The tile the picture was built from; a replaced tile rebuilds it.
    qint64 FPreviewTileKey = 0;
    int FPreviewBuilds = 0;
};

// The course banner below the tool bars: a title and three lines over a
// tiled background, its pages held as name=value lines in a hidden memo. A
// double-click on it goes to the next page, after the last to the first.
class KBHOST_EXPORT TfrCaption : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrCaption(QWidget *AOwner = nullptr);
    ~TfrCaption() override;

    TBitmapTile *BitmapTile = nullptr;
    QLabel *lbLine01 = nullptr;
    QLabel *lbTitle = nullptr;
    QLabel *lbLine02 = nullptr;
    QLabel *lbLine03 = nullptr;
    QPlainTextEdit *moMsgs = nullptr;

public slots:
    void BitmapTileDblClick();

private:
    void ShowPage(int AIndex);
    QString Values(const QString &AName) const;

    int FIndex = 0;
};
