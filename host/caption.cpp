#include "caption.h"

#include "core.h"
#include "view.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

// ---------------------------------------------------------------------------
// TBitmapTile

TBitmapTile::TBitmapTile(QWidget *AOwner)
    : QFrame(AOwner)
{
    // It paints its whole area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TBitmapTile::~TBitmapTile() = default;

void TBitmapTile::SetBitmap(const QPixmap *ABitmap)
{
    FBitmap = ABitmap ? *ABitmap : QPixmap();
    // Without a tile the panel shows its own painting, not the last picture.
    if (FBitmap.isNull())
        FBitmapPreview = QPixmap();
    update();
}

QList<QPoint> TBitmapTile::TileOrigins(const QSize &AArea, const QSize &ATile)
{
    QList<QPoint> origins;
    if (AArea.isEmpty() || ATile.isEmpty())
        return origins;
    const int rows = AArea.height() / ATile.height();
    const int columns = AArea.width() / ATile.width();
    origins.reserve((rows + 1) * (columns + 1));
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c)
            origins << QPoint(c * ATile.width(), r * ATile.height());
    return origins;
}

void TBitmapTile::UpdatePreview()
{
    const QSize area = size();
    if (area.isEmpty())
        return;
    const QSize tile = FBitmap.deviceIndependentSize().toSize();
    if (tile.isEmpty())
        return;
    // Keyed by size, device pixel ratio and the tile's contents, so that a
    // tile replaced or drawn on shows at the next paint.
    const qreal ratio = devicePixelRatioF();
    if (!FBitmapPreview.isNull() && FBitmapPreview.deviceIndependentSize().toSize() == area
        && FBitmapPreview.devicePixelRatio() == ratio && FPreviewTileKey == FBitmap.cacheKey())
        return;

    QPixmap preview(area * ratio);
    if (preview.isNull())
        return;
    preview.setDevicePixelRatio(ratio);
    // A tile with transparent parts shows the panel's colour, not stale memory.
    preview.fill(palette().color(backgroundRole()));
    QPainter p(&preview);
    for (const QPoint &origin : TileOrigins(area, tile))
        p.drawPixmap(origin, FBitmap);
    p.end();

    FBitmapPreview = preview;
    FPreviewTileKey = FBitmap.cacheKey();
    ++FPreviewBuilds;
}

void TBitmapTile::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(backgroundRole()));
    UpdatePreview();
    if (!FBitmapPreview.isNull())
        p.drawPixmap(0, 0, FBitmapPreview);
}

void TBitmapTile::resizeEvent(QResizeEvent *)
{
    // The next paint rebuilds the picture for the new size.
    update();
}

void TBitmapTile::mouseDoubleClickEvent(QMouseEvent *AEvent)
{
    if (AEvent->button() == Qt::LeftButton)
        emit DblClick();
    QFrame::mouseDoubleClickEvent(AEvent);
}

// ---------------------------------------------------------------------------
// TfrCaption

namespace {

const QColor CaptionColor(103, 97, 89);
const QColor TileColor(89, 97, 104);
const QColor LineColor(255, 135, 60);

// The course outline, one page per number.
const char16_t *const PageLines[] = {
    u"LineCount=6",
    u"",
    u"1.t=자바스크립트의 세계로",
    u"1.1=\u25E6 자바스크립트는 입문자에게 적합한 언어입니다.",
    u"",
    u"2.t=문장을 차례로 실행하는 컴퓨터",
    u"2.1=\u25E6 \";\" 세미콜론을 잊지 마세요!",
    u"",
    u"3.t=해야 하나 말아야 하나 고민하는 컴퓨터",
    u"3.1=\u25E6 if",
    u"3.2=\u25E6 switch",
    u"3.3=\u25E6 우선 if만을 배운다",
    u"",
    u"4.t=하나 하나 일일히 말해주기 싫을 때",
    u"4.1=\u25E6 function",
    u"",
    u"5.t=정보를 기억하는 사물함",
    u"5.1=\u25E6 \"=\"은 Equal이 아니야!",
    u"5.2=\u25E6 대입문(Assign)은 정보를 복사한다.",
    u"",
    u"6.t=마무리",
    u"6.1=\u25E6 입문자는 하나 하나 너무 파고들지 마세요.",
    u"6.2=\u25E6 보다 적은 지식으로 같은 성과를 냅시다.",
};

// The pages' memo: Enter does not add a line.
class TPagesMemo : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent *AEvent) override
    {
        if (AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter) {
            AEvent->ignore();
            return;
        }
        QPlainTextEdit::keyPressEvent(AEvent);
    }
};

QLabel *NewLabel(QWidget *AParent, const char *AName, int ALeft, int ATop, int AHeight,
                 const QColor &AColor)
{
    auto *label = new QLabel(AParent);
    label->setObjectName(QString::fromLatin1(AName));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(AHeight);
    font.setBold(true);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    // A label takes its own clicks: only the tile's background turns the page.
    label->setAttribute(Qt::WA_NoMousePropagation);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, AColor);
    label->setPalette(pal);
    label->move(ALeft, ATop);
    return label;
}

// A decimal integer, else 0 (also when out of range). Blanks around the
// digits make no number, though QString::toInt would skip them.
int ToIntDef0(const QString &AText)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    return decimal.match(AText).hasMatch() ? AText.toInt(nullptr, 10) : 0;
}

} // namespace

TfrCaption::TfrCaption(QWidget *AOwner)
    : QFrame(AOwner)
{
    setObjectName(QStringLiteral("frCaption"));
    setFixedHeight(160);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, CaptionColor);
    setPalette(pal);

    BitmapTile = new TBitmapTile(this);
    BitmapTile->setObjectName(QStringLiteral("BitmapTile"));
    QPixmap tile(32, 32);
    tile.fill(TileColor);
    BitmapTile->SetBitmap(&tile);
    connect(BitmapTile, &TBitmapTile::DblClick, this, &TfrCaption::BitmapTileDblClick);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(BitmapTile);

    lbLine01 = NewLabel(BitmapTile, "lbLine01", 64, 55, 21, LineColor);
    lbTitle = NewLabel(BitmapTile, "lbTitle", 16, 12, 27, Qt::white);
    lbLine02 = NewLabel(BitmapTile, "lbLine02", 64, 86, 21, LineColor);
    lbLine03 = NewLabel(BitmapTile, "lbLine03", 64, 117, 21, LineColor);

    moMsgs = new TPagesMemo(BitmapTile);
    moMsgs->setObjectName(QStringLiteral("moMsgs"));
    moMsgs->setGeometry(480, 16, 389, 121);
    moMsgs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    moMsgs->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    moMsgs->setLineWrapMode(QPlainTextEdit::NoWrap);
    moMsgs->setTabChangesFocus(true);
    QStringList lines;
    for (const char16_t *line : PageLines)
        lines << QString::fromUtf16(line);
    moMsgs->setPlainText(lines.join(QLatin1Char('\n')));
    moMsgs->setVisible(false);

    ShowPage(0);
    TCore::Obj()->View()->Add(this);
}

TfrCaption::~TfrCaption()
{
    TCore::Obj()->View()->Remove(this);
}

QString TfrCaption::Values(const QString &AName) const
{
    const QStringList lines = moMsgs->toPlainText().split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        // Lines without a name, the empty separators among them, never match.
        if (eq <= 0)
            continue;
        if (QStringView(line).left(eq).compare(AName, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

void TfrCaption::ShowPage(int AIndex)
{
    FIndex = AIndex;
    const int n = AIndex + 1;
    const auto show = [this, n](QLabel *ALabel, const char *AFormat) {
        ALabel->setText(Values(QString::asprintf(AFormat, n)));
        ALabel->adjustSize();
    };
    show(lbTitle, "%d.t");
    show(lbLine01, "%d.1");
    show(lbLine02, "%d.2");
    show(lbLine03, "%d.3");
}

void TfrCaption::BitmapTileDblClick()
{
    const int count = ToIntDef0(Values(QStringLiteral("LineCount")));
    int next = FIndex + 1;
    if (next >= count)
        next = 0;
    ShowPage(next);
}
