#pragma once

#include "moduleframework_export.h"

#include <QImage>
#include <QLabel>

// A text label that scripts reach by a form label's names.
class MODULEFRAMEWORK_EXPORT TLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
    Q_PROPERTY(int Left READ GetLeft WRITE SetLeft)
    Q_PROPERTY(int Top READ GetTop WRITE SetTop)
    Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)
    Q_PROPERTY(int Height READ GetHeight WRITE SetHeight)
    Q_PROPERTY(bool Visible READ GetVisible WRITE SetVisible)

public:
    explicit TLabel(QWidget *AParent = nullptr) : QLabel(AParent) {}

    QString GetCaption() const { return text(); }
    void SetCaption(const QString &V) { setText(V); }
    int GetLeft() const { return x(); }
    void SetLeft(int V) { move(V, y()); }
    int GetTop() const { return y(); }
    void SetTop(int V) { move(x(), V); }
    int GetWidth() const { return width(); }
    void SetWidth(int V) { resize(V, height()); }
    int GetHeight() const { return height(); }
    void SetHeight(int V) { resize(width(), V); }
    bool GetVisible() const { return !isHidden(); }
    void SetVisible(bool V) { setVisible(V); }
};

// A plain area of a form that scripts reach by a panel's names.
class MODULEFRAMEWORK_EXPORT TPanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Left READ GetLeft WRITE SetLeft NOTIFY Changed)
    Q_PROPERTY(int Top READ GetTop WRITE SetTop NOTIFY Changed)
    Q_PROPERTY(int Width READ GetWidth WRITE SetWidth NOTIFY Changed)
    Q_PROPERTY(int Height READ GetHeight WRITE SetHeight NOTIFY Changed)
    Q_PROPERTY(bool Visible READ GetVisible WRITE SetVisible NOTIFY Changed)

public:
    explicit TPanel(QWidget *AParent = nullptr) : QWidget(AParent) {}

    int GetLeft() const { return x(); }
    void SetLeft(int V) { MoveTo(V, y()); }
    int GetTop() const { return y(); }
    void SetTop(int V) { MoveTo(x(), V); }
    int GetWidth() const { return width(); }
    void SetWidth(int V) { SizeTo(V, height()); }
    int GetHeight() const { return height(); }
    void SetHeight(int V) { SizeTo(width(), V); }
    bool GetVisible() const { return !isHidden(); }
    void SetVisible(bool V) { setVisible(V); }
    void setVisible(bool V) override;

signals:
    // The place, size or visibility changed: through the setters, or through
    // Qt's own move and resize of a shown panel (a layout's among them).
    void Changed();

protected:
    void MoveTo(int ALeft, int ATop);
    void SizeTo(int AWidth, int AHeight);
    void moveEvent(QMoveEvent *AEvent) override;
    void resizeEvent(QResizeEvent *AEvent) override;
};

// A picture drawn at its own size from the control's top-left corner and cut
// to the control.
class MODULEFRAMEWORK_EXPORT TImage : public QWidget
{
    Q_OBJECT

public:
    explicit TImage(QWidget *AParent = nullptr) : QWidget(AParent) {}

    const QImage &Picture() const { return FPicture; }
    void SetPicture(const QImage &APicture);

protected:
    void paintEvent(QPaintEvent *AEvent) override;

private:
    QImage FPicture;
    // No pixel of the picture lets anything under it show through.
    bool FOpaque = false;
};

// A filled circle that marks a place on a form.
class MODULEFRAMEWORK_EXPORT TShape : public QWidget
{
    Q_OBJECT

public:
    explicit TShape(QWidget *AParent = nullptr) : QWidget(AParent) {}

    void SetBrushColor(const QColor &AColor)
    {
        FBrushColor = AColor;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor FBrushColor = Qt::white;
};
