// Draws the space-shooter pictures: the deep-space background, the turning
// asteroid, the fighter with its flickering flame, the laser bolt, the
// explosion and the window icon. Run it with an output folder to regenerate
// the PNGs that the module embeds (modules/skivo/art/*.png); add
// "--preview <file>" to also write a composite for checking them by eye.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

// The sprite treats this colour as transparent, so no visible pixel may
// carry it.
constexpr QRgb KeyColour = 0x563412;

// The light comes from the upper left for every picture, so that the rock,
// the ship and the planet agree.
struct Vec3 {
    double x, y, z;
};
Vec3 Normalised(Vec3 v)
{
    const double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / l, v.y / l, v.z / l};
}
const Vec3 Light = Normalised({-0.62, -0.52, 0.58});
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// std::mt19937's output is fixed by the standard but the distributions are
// not, so the numbers are mapped by hand to keep the pictures identical on
// every library.
class Random {
public:
    explicit Random(uint32_t seed) : m_engine(seed) {}
    double Unit() { return m_engine() / 4294967296.0; }
    double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }

private:
    std::mt19937 m_engine;
};

uint32_t Hash(int x, int y, uint32_t seed)
{
    uint32_t h = seed * 0x9e3779b1u ^ static_cast<uint32_t>(x) * 0x85ebca77u ^ static_cast<uint32_t>(y) * 0xc2b2ae3du;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

// Smooth value noise in 0..1.
double Noise(double x, double y, uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    auto s = [](double t) { return t * t * (3 - 2 * t); };
    const double tx = s(x - fx), ty = s(y - fy);
    auto at = [&](int dx, int dy) { return Hash(ix + dx, iy + dy, seed) / 4294967295.0; };
    const double top = at(0, 0) + (at(1, 0) - at(0, 0)) * tx;
    const double bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

double Fbm(double x, double y, uint32_t seed, int octaves = 4)
{
    double sum = 0, amp = 1, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * Noise(x, y, seed + i * 101);
        norm += amp;
        amp *= 0.5;
        // Rotate between octaves so that the lattice does not show.
        const double nx = 1.6 * x + 1.2 * y + 7.3, ny = -1.2 * x + 1.6 * y + 3.1;
        x = nx;
        y = ny;
    }
    return sum / norm;
}

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double SmoothStep(double e0, double e1, double v)
{
    const double t = Clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// A colour with straight (not premultiplied) alpha, channels 0..1.
struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};
Rgba Mix(Rgba a, Rgba b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}
// Porter-Duff "over" of straight-alpha colours.
Rgba Over(Rgba top, Rgba under)
{
    const double a = top.a + under.a * (1 - top.a);
    if (a <= 0)
        return {};
    auto ch = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
    return {ch(top.r, under.r), ch(top.g, under.g), ch(top.b, under.b), a};
}

// Fills `area` of the image from a colour function sampled ss x ss times per
// pixel. Samples are averaged premultiplied, so soft edges fade through alpha
// and never towards some background colour.
void Render(QImage &img, QRect area, int ss, const std::function<Rgba(double, double)> &colourAt)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < ss; ++sy)
                for (int sx = 0; sx < ss; ++sx) {
                    const Rgba c = colourAt(x + (sx + 0.5) / ss, y + (sy + 0.5) / ss);
                    const double ca = Clamp01(c.a);
                    r += Clamp01(c.r) * ca;
                    g += Clamp01(c.g) * ca;
                    b += Clamp01(c.b) * ca;
                    a += ca;
                }
            if (a <= 0) {
                line[x] = 0;
                continue;
            }
            const int n = ss * ss;
            line[x] = qRgba(qRound(255 * r / a), qRound(255 * g / a), qRound(255 * b / a), qRound(255 * a / n));
        }
    }
}

// Converts to straight ARGB, clears the colour of invisible pixels and moves
// any visible pixel off the key colour.
QImage Finished(const QImage &drawn)
{
    QImage img = drawn.convertToFormat(drawn.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    int nudged = 0;
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(line[x]) == 0 && img.hasAlphaChannel())
                line[x] = 0;
            else if ((line[x] & 0xffffff) == KeyColour) {
                line[x] ^= 0x000001;
                ++nudged;
            }
        }
    }
    if (nudged)
        std::printf("  %d pixel(s) moved off the key colour\n", nudged);
    return img;
}

void Save(const QImage &img, const QString &file)
{
    if (!Finished(img).save(file))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

// ---------------------------------------------------------------- background

Rgba FromBytes(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

void DrawStar(QPainter &p, QPointF c, double radius, QColor colour, double glow, bool spikes)
{
    p.setPen(Qt::NoPen);
    if (glow > 0) {
        QRadialGradient g(c, glow);
        QColor inner = colour;
        inner.setAlphaF(0.30 * colour.alphaF());
        QColor outer = colour;
        outer.setAlpha(0);
        g.setColorAt(0, inner);
        g.setColorAt(1, outer);
        p.setBrush(g);
        p.drawEllipse(c, glow, glow);
    }
    if (spikes) {
        for (int i = 0; i < 2; ++i) {
            const double len = glow * 1.7;
            QLinearGradient g(i ? QPointF(c.x(), c.y() - len) : QPointF(c.x() - len, c.y()),
                              i ? QPointF(c.x(), c.y() + len) : QPointF(c.x() + len, c.y()));
            QColor mid = colour;
            mid.setAlphaF(0.55 * colour.alphaF());
            QColor end = colour;
            end.setAlpha(0);
            g.setColorAt(0, end);
            g.setColorAt(0.5, mid);
            g.setColorAt(1, end);
            p.setBrush(g);
            p.drawRect(i ? QRectF(c.x() - 0.5, c.y() - len, 1, 2 * len) : QRectF(c.x() - len, c.y() - 0.5, 2 * len, 1));
        }
    }
    p.setBrush(colour);
    p.drawEllipse(c, radius, radius);
}

// Shades a sphere lit from the upper left. `surface` gives the albedo at a
// point of the unit sphere; returns transparent outside the disc.
Rgba Sphere(double x, double y, QPointF c, double radius, const std::function<Rgba(Vec3)> &surface, double night)
{
    const double u = (x - c.x()) / radius, v = (y - c.y()) / radius;
    const double q = u * u + v * v;
    if (q >= 1)
        return {};
    const Vec3 n{u, v, std::sqrt(1 - q)};
    const Rgba albedo = surface(n);
    // A soft terminator and a little light on the night side so the disc
    // still hides the stars behind it.
    const double lit = SmoothStep(-0.15, 0.6, Dot(n, Light));
    const double k = night + (1 - night) * lit;
    return {albedo.r * k, albedo.g * k, albedo.b * k, 1};
}

void DrawBackground(const QString &file)
{
    constexpr int W = 720, H = 320;
    QImage img(W, H, QImage::Format_ARGB32);
    const QPointF nebula(560, 120);
    Render(img, img.rect(), 1, [&](double x, double y) {
        // Deep blue at the top to violet-black at the bottom.
        const Rgba top = FromBytes(4, 6, 18), bottom = FromBytes(13, 9, 30);
        Rgba c = Mix(top, bottom, y / H);
        // The nebula: a turbulent cloud centred right of the middle of the
        // visible part, trailing off faintly to the left.
        const double dx = (x - nebula.x()) / 230, dy = (y - nebula.y()) / 150;
        const double mask = std::exp(-(dx * dx + dy * dy)) + 0.25 * std::exp(-std::pow((y - 150) / 120, 2)) * SmoothStep(0, 500, x);
        const double wx = x / 120 + 1.5 * Fbm(x / 160, y / 160, 11), wy = y / 120 + 1.5 * Fbm(x / 160 + 5, y / 160, 12);
        const double cloud = SmoothStep(0.35, 0.85, Fbm(wx, wy, 13, 5));
        const double dust = SmoothStep(0.5, 0.8, Fbm(x / 45, y / 45, 14, 4));
        const double density = mask * cloud * (1 - 0.6 * dust);
        const Rgba violet = FromBytes(110, 46, 140), teal = FromBytes(30, 96, 140);
        const Rgba tint = Mix(violet, teal, SmoothStep(0.3, 0.7, Fbm(x / 200 + 3, y / 200, 15)));
        const double k = 0.42 * density;
        c.r += tint.r * k;
        c.g += tint.g * k;
        c.b += tint.b * k;
        return c;
    });

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    Random rng(0x5e1f0);
    auto tint = [&](int alpha) {
        // Mostly white, a few bluish and a few warm stars.
        const double t = rng.Unit();
        QColor c = t < 0.6 ? QColor(235, 240, 255) : t < 0.85 ? QColor(190, 210, 255) : QColor(255, 226, 190);
        c.setAlpha(alpha);
        return c;
    };
    // Three depths: many faint specks, fewer clear stars, a handful of near
    // ones with a glow.
    for (int i = 0; i < 520; ++i) {
        const QPointF at(rng.Range(0, W), rng.Range(0, H));
        DrawStar(p, at, rng.Range(0.45, 0.65), tint(static_cast<int>(rng.Range(60, 130))), 0, false);
    }
    for (int i = 0; i < 120; ++i) {
        const QPointF at(rng.Range(0, W), rng.Range(0, H));
        DrawStar(p, at, rng.Range(0.75, 1.0), tint(static_cast<int>(rng.Range(150, 215))), 0, false);
    }
    for (int i = 0; i < 22; ++i) {
        const QPointF at(rng.Range(4, W - 4), rng.Range(4, H - 4));
        const bool spikes = i % 5 == 0;
        DrawStar(p, at, rng.Range(1.05, 1.4), tint(static_cast<int>(rng.Range(220, 255))), rng.Range(3.5, 5.0), spikes);
    }
    p.end();

    // A distant moon in the upper part, and a large dim planet rising from
    // the lower right edge, with a thin atmosphere on its lit rim.
    const QPointF moon(468, 52), planet(628, 318);
    const double moonR = 10, planetR = 72;
    auto moonSurface = [&](Vec3 n) {
        const double m = Fbm(n.x * 3 + 4, n.y * 3 + 2, 21, 3);
        const double g = 0.30 + 0.16 * m;
        return Rgba{g * 0.95, g * 0.93, g, 1};
    };
    auto planetSurface = [&](Vec3 n) {
        // Bands along the latitude, tilted a little and stirred by noise.
        const double lat = n.y * 0.95 + n.x * 0.3;
        const double swirl = Fbm(n.x * 3, lat * 5, 31, 3);
        const double band = 0.5 + 0.5 * std::sin(lat * 13 + swirl * 3);
        const Rgba a = FromBytes(40, 52, 88), b = FromBytes(66, 58, 96), c = FromBytes(48, 78, 96);
        return Mix(Mix(a, b, band), c, SmoothStep(0.6, 0.85, swirl) * 0.5);
    };
    auto blend = [&](QRect area, const std::function<Rgba(double, double)> &layer) {
        QImage patch(area.size(), QImage::Format_ARGB32);
        Render(patch, patch.rect(), 3, [&](double x, double y) { return layer(x + area.left(), y + area.top()); });
        QPainter q(&img);
        q.drawImage(area.topLeft(), patch);
    };
    const double glowW = 7;
    blend(QRect(540, 232, 180, 88), [&](double x, double y) {
        const double d = std::hypot(x - planet.x(), y - planet.y());
        Rgba c = Sphere(x, y, planet, planetR, planetSurface, 0.06);
        if (d > planetR - 1 && d < planetR + glowW) {
            // The atmosphere glows only where the sun reaches it.
            const Vec3 dir = Normalised({x - planet.x(), y - planet.y(), 0});
            const double sun = SmoothStep(-0.2, 0.8, Dot(dir, Light));
            const double fall = std::exp(-std::pow((d - planetR + 1) / (glowW * 0.45), 2));
            const Rgba air{0.42, 0.6, 1.0, 0.45 * sun * fall};
            c = Over(air, c);
        }
        return c;
    });
    blend(QRect(452, 36, 32, 32), [&](double x, double y) { return Sphere(x, y, moon, moonR, moonSurface, 0.05); });
    Save(img.convertToFormat(QImage::Format_RGB32), file);
}

// ------------------------------------------------------------------ asteroid

// One rock, defined in its own frame (pixels, centred) and turned in the
// picture plane while the light stays put.
class Rock {
public:
    Rock()
    {
        Random rng(0xa57e01d);
        const double amp[] = {0.07, 0.05, 0.035, 0.03, 0.02, 0.014, 0.01, 0.007};
        const int freq[] = {2, 3, 4, 5, 7, 9, 12, 16};
        for (int i = 0; i < 8; ++i)
            m_lobes.push_back({freq[i], amp[i], rng.Range(0, 2 * M_PI)});
        // Broken-off faces: the outline runs straight between a ring of
        // corners, which the lobes then round a little.
        for (int i = 0; i < Corners; ++i)
            m_corners[i] = rng.Range(-0.11, 0.11);
        // Stretch the bumps to a fixed range of radii: never smaller than
        // the hit box's corners, never past the edge of the frame.
        double lo = 1e9, hi = -1e9;
        for (int i = 0; i < 3600; ++i) {
            const double b = Bumps(2 * M_PI * i / 3600);
            lo = std::min(lo, b);
            hi = std::max(hi, b);
        }
        m_low = lo;
        m_span = hi - lo;
        // A big crater, a few medium and several small ones spread over the
        // face; the small ones are shallow pits.
        m_craters.push_back({-6, 5, 8.0, 3.0});
        m_craters.push_back({10, -7, 5.5, 2.2});
        m_craters.push_back({5, 12, 4.5, 1.8});
        for (int i = 0; i < 7; ++i) {
            const double a = rng.Range(0, 2 * M_PI), d = rng.Range(7, 19);
            const double r = rng.Range(1.6, 3.6);
            m_craters.push_back({d * std::cos(a), d * std::sin(a), r, r * 0.4});
        }
    }

    static constexpr double MinRadius = 21.0, MaxRadius = 26.4;

    // The outline's radius in the direction phi.
    double Edge(double phi) const { return MinRadius + (MaxRadius - MinRadius) * (Bumps(phi) - m_low) / m_span; }

    // Height of the surface above the picture plane at rock point (u, v);
    // negative means outside the rock.
    double Height(double u, double v) const
    {
        const double q = std::hypot(u, v) / Edge(std::atan2(v, u));
        if (q >= 1)
            return -1;
        double h = MaxRadius * 0.8 * std::sqrt(1 - q * q);
        for (const Crater &c : m_craters) {
            const double r = std::hypot(u - c.u, v - c.v) / c.r;
            if (r < 1)
                h -= c.depth * (1 - r * r);
            h += c.depth * 0.25 * std::exp(-std::pow((r - 1) / 0.28, 2));
        }
        h += 8.0 * (Fbm(u / 13, v / 13, 44, 2) - 0.5) + 2.2 * (Fbm(u / 8, v / 8, 41) - 0.5) + 0.6 * (Noise(u / 2.2, v / 2.2, 42) - 0.5);
        return h;
    }

    // The colour at picture point (x, y) with the rock centred on c, turned
    // by `angle` and drawn `scale` times its size.
    Rgba At(double x, double y, QPointF c, double angle, double scale) const
    {
        const double dx = (x - c.x()) / scale, dy = (y - c.y()) / scale;
        const double ca = std::cos(angle), sa = std::sin(angle);
        auto rock = [&](double px, double py) { return Height(px * ca + py * sa, -px * sa + py * ca); };
        const double h = rock(dx, dy);
        if (h < 0)
            return {};
        const double e = 0.35;
        auto side = [&](double px, double py) { return std::max(rock(px, py), 0.0); };
        const double hx = (side(dx + e, dy) - side(dx - e, dy)) / (2 * e);
        const double hy = (side(dx, dy + e) - side(dx, dy - e)) / (2 * e);
        const Vec3 n = Normalised({-hx, -hy, 1});
        const double u = dx * ca + dy * sa, v = -dx * sa + dy * ca;
        // Warm grey stone with darker patches and crater floors.
        const double patch = Fbm(u / 9 + 20, v / 9, 43);
        Rgba albedo = Mix(FromBytes(112, 100, 88), FromBytes(160, 144, 122), SmoothStep(0.3, 0.7, patch));
        for (const Crater &cr : m_craters)
            if (std::hypot(u - cr.u, v - cr.v) < cr.r * 0.9) {
                albedo = Mix(albedo, FromBytes(92, 82, 74), 0.45);
                break;
            }
        const double diffuse = std::max(0.0, Dot(n, Light));
        // A cool rim on the shadow side keeps the outline readable on the
        // dark sky.
        const double back = std::max(0.0, n.x * 0.7 + n.y * 0.55) * std::pow(1 - n.z, 1.3);
        const double k = 0.2 + 1.0 * diffuse;
        return {albedo.r * k + 0.22 * back, albedo.g * k + 0.32 * back, albedo.b * k + 0.5 * back, 1};
    }

private:
    static constexpr int Corners = 8;

    double Bumps(double phi) const
    {
        const double t = std::fmod(phi / (2 * M_PI) + 1, 1.0) * Corners;
        const int i = static_cast<int>(t) % Corners;
        double f = m_corners[i] + (m_corners[(i + 1) % Corners] - m_corners[i]) * (t - std::floor(t));
        for (const Lobe &l : m_lobes)
            f += l.amp * std::sin(l.freq * phi + l.phase);
        // A chipped-out hollow on one side.
        f -= 0.12 * std::exp(-std::pow(std::remainder(phi - 2.2, 2 * M_PI) / 0.32, 2));
        return f;
    }

    struct Lobe {
        int freq;
        double amp, phase;
    };
    struct Crater {
        double u, v, r, depth;
    };
    std::vector<Lobe> m_lobes;
    std::vector<Crater> m_craters;
    double m_corners[Corners] = {};
    double m_low = 0, m_span = 1;
};

constexpr int AsteroidSize = 64;
constexpr int AsteroidFrames = 12;
// The animation shows frames 0..10 and wraps, so those make one turn.
constexpr int AsteroidTurn = 11;
const QPointF AsteroidCentre(27.5, 27.5);

void DrawAsteroid(const QString &file)
{
    const Rock rock;
    QImage img(AsteroidSize * AsteroidFrames, AsteroidSize, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int f = 0; f < AsteroidTurn; ++f) {
        const double angle = 2 * M_PI * f / AsteroidTurn;
        const int left = f * AsteroidSize;
        Render(img, QRect(left, 0, AsteroidSize, AsteroidSize), 4, [&](double x, double y) {
            return rock.At(x - left, y, AsteroidCentre, angle, 1);
        });
    }
    // The last frame repeats the first, for players that step through all.
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint((AsteroidFrames - 1) * AsteroidSize, 0), img.copy(0, 0, AsteroidSize, AsteroidSize));
    p.end();
    Save(img, file);
}

// ---------------------------------------------------------------------- ship

constexpr int ShipW = 122, ShipH = 65, ShipFrames = 4;
const QColor Outline(0x1a, 0x22, 0x30);
const QColor Accent(0x10, 0xa8, 0xb8);
const QColor AccentDark(0x08, 0x6a, 0x78);
const QColor Warm(0xff, 0x8a, 0x1e);

// The engine flame, pointing left from the nozzle at (35, 36).
void DrawFlame(QPainter &p, double length, double half, double wobble)
{
    const QPointF root(35, 36);
    const QPointF tip(root.x() - length, root.y() + wobble);
    p.setPen(Qt::NoPen);

    // Glow around the flame.
    {
        QRadialGradient g(QPointF(root.x() - length * 0.35, root.y()), length * 0.62);
        g.setColorAt(0, QColor(255, 120, 30, 90));
        g.setColorAt(1, QColor(255, 80, 20, 0));
        p.setBrush(g);
        p.save();
        p.translate(root.x() - length * 0.35, root.y());
        p.scale(1, 0.5);
        p.translate(-(root.x() - length * 0.35), -root.y());
        p.drawEllipse(QPointF(root.x() - length * 0.35, root.y()), length * 0.62, length * 0.62);
        p.restore();
    }
    auto tongue = [&](double len, double h, const QColor &nearColour, const QColor &farColour) {
        const QPointF t(root.x() - len, root.y() + wobble * len / length);
        QPainterPath path;
        path.moveTo(root.x() + 1, root.y() - h);
        path.cubicTo(root.x() - len * 0.35, root.y() - h, t.x() + len * 0.25, t.y() - h * 0.25, t.x(), t.y());
        path.cubicTo(t.x() + len * 0.25, t.y() + h * 0.25, root.x() - len * 0.35, root.y() + h, root.x() + 1, root.y() + h);
        path.closeSubpath();
        QLinearGradient g(root, t);
        g.setColorAt(0, nearColour);
        g.setColorAt(0.55, QColor(farColour.red(), farColour.green(), farColour.blue(), farColour.alpha() * 3 / 4));
        QColor end = farColour;
        end.setAlpha(0);
        g.setColorAt(1, end);
        p.setBrush(g);
        p.drawPath(path);
    };
    tongue(length, half, QColor(255, 170, 60, 235), QColor(255, 70, 20, 200));
    tongue(length * 0.68, half * 0.66, QColor(255, 230, 140, 255), QColor(255, 160, 40, 220));
    tongue(length * 0.38, half * 0.36, QColor(255, 255, 245, 255), QColor(255, 240, 180, 230));
}

// The fighter in a 122 x 65 frame, nose right; its hull covers
// (40,11)-(110,55) and the flame stays in x 0..40.
void DrawShip(QPainter &p, int flame)
{
    p.setRenderHint(QPainter::Antialiasing);
    const struct { double length, half, wobble; } flames[] = {{29, 6.2, 0.0}, {35, 7.0, -0.9}, {22, 5.4, 0.8}};
    const auto &fl = flames[flame % 3];
    DrawFlame(p, fl.length, fl.half, fl.wobble);

    const QPen line(Outline, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    // The tail fin, swept back, behind the hull.
    QPainterPath fin;
    fin.moveTo(45, 25);
    fin.lineTo(40.5, 10.5);
    fin.cubicTo(42.5, 9, 49, 9, 53, 10.5);
    fin.lineTo(80, 25);
    fin.closeSubpath();
    QLinearGradient finFill(QPointF(0, 9), QPointF(0, 26));
    finFill.setColorAt(0, Accent.lighter(125));
    finFill.setColorAt(1, AccentDark);
    p.setPen(line);
    p.setBrush(finFill);
    p.drawPath(fin);
    // A warm stripe on the fin.
    QPainterPath finStripe;
    finStripe.moveTo(42.9, 15);
    finStripe.lineTo(56.5, 15);
    finStripe.lineTo(60.0, 17.3);
    finStripe.lineTo(43.7, 17.3);
    finStripe.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Warm);
    p.drawPath(finStripe);

    // The engine nozzle at the back.
    QPainterPath nozzle;
    nozzle.moveTo(42, 27);
    nozzle.lineTo(34.5, 29.5);
    nozzle.lineTo(34.5, 42.5);
    nozzle.lineTo(42, 45);
    nozzle.closeSubpath();
    QLinearGradient metal(QPointF(0, 28), QPointF(0, 44));
    metal.setColorAt(0, QColor(0x9a, 0xa2, 0xae));
    metal.setColorAt(0.45, QColor(0x5a, 0x62, 0x70));
    metal.setColorAt(1, QColor(0x2e, 0x34, 0x40));
    p.setPen(line);
    p.setBrush(metal);
    p.drawPath(nozzle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 200, 110));
    p.drawRoundedRect(QRectF(34.2, 31.5, 2.0, 9), 1, 1);

    // The hull.
    QPainterPath hull;
    hull.moveTo(120, 36.5);
    hull.cubicTo(113, 30.5, 105, 27, 94, 26);
    hull.lineTo(48, 23);
    hull.lineTo(40.5, 24.5);
    hull.lineTo(39.5, 47.5);
    hull.lineTo(50, 50);
    hull.cubicTo(76, 51.5, 99, 47.5, 111, 42);
    hull.cubicTo(115.5, 40, 118.5, 38, 120, 36.5);
    hull.closeSubpath();
    QLinearGradient skin(QPointF(0, 23), QPointF(0, 51));
    skin.setColorAt(0, QColor(0xf4, 0xf7, 0xfa));
    skin.setColorAt(0.45, QColor(0xcc, 0xd4, 0xdc));
    skin.setColorAt(1, QColor(0x78, 0x84, 0x94));
    p.setPen(line);
    p.setBrush(skin);
    p.drawPath(hull);

    // Side stripe and panel lines, clipped to the hull.
    p.save();
    p.setClipPath(hull);
    QPainterPath stripe;
    stripe.moveTo(38, 34);
    stripe.cubicTo(70, 33, 96, 32, 121, 36);
    stripe.lineTo(121, 38.8);
    stripe.cubicTo(96, 35.5, 70, 36.6, 38, 37.6);
    stripe.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawPath(stripe);
    p.setPen(QPen(QColor(0x5a, 0x66, 0x76), 0.8));
    p.drawLine(QPointF(60, 23), QPointF(58, 51));
    p.drawLine(QPointF(86, 25), QPointF(85, 50));
    p.setBrush(QColor(0x2a, 0x32, 0x40));
    p.setPen(Qt::NoPen);
    // Air intake under the cockpit.
    QPainterPath intake;
    intake.moveTo(66, 40);
    intake.lineTo(82, 40);
    intake.lineTo(80, 44.5);
    intake.lineTo(68, 45);
    intake.closeSubpath();
    p.drawPath(intake);
    p.restore();

    // The cockpit canopy.
    QPainterPath canopy;
    canopy.moveTo(100, 28);
    canopy.cubicTo(94, 17.5, 80, 15.5, 69, 25);
    canopy.closeSubpath();
    QLinearGradient glass(QPointF(80, 16), QPointF(90, 28));
    glass.setColorAt(0, QColor(0x9c, 0xe8, 0xff));
    glass.setColorAt(0.5, QColor(0x2c, 0x8c, 0xd0));
    glass.setColorAt(1, QColor(0x12, 0x3a, 0x78));
    p.setPen(line);
    p.setBrush(glass);
    p.drawPath(canopy);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath shine;
    shine.moveTo(76, 21.5);
    shine.quadTo(82, 18.5, 88, 19.5);
    p.drawPath(shine);

    // The near wing, swept back below the hull.
    QPainterPath wing;
    wing.moveTo(57, 46);
    wing.lineTo(43.5, 56);
    wing.cubicTo(45.5, 57.5, 54, 57.5, 58, 56.5);
    wing.lineTo(98, 45);
    wing.closeSubpath();
    QLinearGradient wingFill(QPointF(0, 45), QPointF(0, 57));
    wingFill.setColorAt(0, QColor(0xb8, 0xc2, 0xcc));
    wingFill.setColorAt(1, QColor(0x6c, 0x78, 0x88));
    p.setPen(line);
    p.setBrush(wingFill);
    p.drawPath(wing);
    p.save();
    p.setClipPath(wing);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRect(QRectF(40, 53.0, 26, 6));
    p.restore();

    // Nose light.
    QRadialGradient tipGlow(QPointF(113, 35.3), 2.2);
    tipGlow.setColorAt(0, QColor(255, 245, 200));
    tipGlow.setColorAt(1, QColor(255, 140, 40, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(tipGlow);
    p.drawEllipse(QPointF(113, 35.3), 2.2, 2.2);
}

void DrawShipStrip(const QString &file)
{
    QImage img(ShipW * ShipFrames, ShipH, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    for (int f = 0; f < ShipFrames; ++f) {
        p.save();
        p.translate(f * ShipW, 0);
        p.setClipRect(0, 0, ShipW, ShipH);
        // Frames 0..2 make the flicker; 3 repeats 0.
        DrawShip(p, f == 3 ? 0 : f);
        p.restore();
    }
    p.end();
    Save(img, file);
}

// ------------------------------------------------------------------- missile

void DrawMissile(const QString &file)
{
    QImage img(27, 12, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const double cy = 5.5;
    // Outer glow, fading out before the edges of the picture.
    {
        QRadialGradient g(QPointF(16, cy), 11);
        g.setColorAt(0, QColor(80, 230, 255, 120));
        g.setColorAt(0.6, QColor(40, 180, 255, 40));
        g.setColorAt(1, QColor(40, 160, 255, 0));
        p.save();
        p.translate(16, cy);
        p.scale(1, 0.47);
        p.translate(-16, -cy);
        p.setBrush(g);
        p.drawEllipse(QPointF(16, cy), 11, 11);
        p.restore();
    }
    // The trail behind the bolt.
    {
        QLinearGradient g(QPointF(1, 0), QPointF(12, 0));
        g.setColorAt(0, QColor(60, 200, 255, 0));
        g.setColorAt(1, QColor(120, 235, 255, 200));
        p.setBrush(g);
        QPainterPath trail;
        trail.moveTo(1, cy);
        trail.lineTo(12, cy - 2);
        trail.lineTo(12, cy + 2);
        trail.closeSubpath();
        p.drawPath(trail);
    }
    // Bolt body: cyan with a white core and a bright head.
    p.setBrush(QColor(70, 215, 255));
    p.drawRoundedRect(QRectF(7.5, cy - 3, 17.5, 6), 3, 3);
    p.setBrush(QColor(225, 252, 255));
    p.drawRoundedRect(QRectF(9.5, cy - 1.5, 14.5, 3), 1.5, 1.5);
    QRadialGradient head(QPointF(22.5, cy), 2.6);
    head.setColorAt(0, QColor(255, 255, 255));
    head.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(head);
    p.drawEllipse(QPointF(22.5, cy), 2.6, 2.6);
    p.end();
    Save(img, file);
}

// ----------------------------------------------------------------- explosion

constexpr int ExplodeSize = 64, ExplodeFrames = 4;
const QPointF Blast(29.5, 29.5);

// Black-body-ish ramp: dark red through orange to white.
Rgba Fire(double heat)
{
    const struct { double t; Rgba c; } stops[] = {
        {0.0, FromBytes(70, 18, 12)}, {0.25, FromBytes(170, 34, 10)}, {0.5, FromBytes(242, 98, 16)},
        {0.7, FromBytes(255, 166, 40)}, {0.86, FromBytes(255, 226, 120)}, {1.0, FromBytes(255, 255, 236)},
    };
    heat = Clamp01(heat);
    for (int i = 1; i < 6; ++i)
        if (heat <= stops[i].t)
            return Mix(stops[i - 1].c, stops[i].c, (heat - stops[i - 1].t) / (stops[i].t - stops[i - 1].t));
    return stops[5].c;
}

struct Spark {
    double angle, distance, size, heat;
};
std::vector<Spark> Sparks(Random &rng, int count, double from, double to, double minSize, double maxSize, double heat)
{
    std::vector<Spark> out;
    for (int i = 0; i < count; ++i)
        out.push_back({rng.Range(0, 2 * M_PI), rng.Range(from, to), rng.Range(minSize, maxSize), heat * rng.Range(0.7, 1.0)});
    return out;
}

Rgba SparksAt(double x, double y, const std::vector<Spark> &sparks)
{
    Rgba c;
    for (const Spark &s : sparks) {
        const double sx = Blast.x() + s.distance * std::cos(s.angle), sy = Blast.y() + s.distance * std::sin(s.angle);
        const double d = std::hypot(x - sx, y - sy) / s.size;
        const double a = d < 1 ? 1.0 : 0.45 * std::exp(-std::pow((d - 1) / 0.9, 2));
        if (a > 0.002) {
            Rgba f = Fire(s.heat * (d < 1 ? 1.0 : 0.8));
            f.a = a;
            c = Over(f, c);
        }
    }
    return c;
}

void DrawExplosion(const QString &file)
{
    QImage img(ExplodeSize * ExplodeFrames, ExplodeSize, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    Random rng(0xb1a57);

    // Frame 0: the first flash, a hot core with rays.
    struct Ray {
        double angle, length, width;
    };
    std::vector<Ray> rays;
    for (int i = 0; i < 9; ++i)
        rays.push_back({2 * M_PI * (i + rng.Range(-0.3, 0.3)) / 9, rng.Range(16, 27), rng.Range(0.9, 1.6)});
    const auto flashSparks = Sparks(rng, 8, 15, 23, 0.7, 1.1, 0.95);
    Render(img, QRect(0, 0, ExplodeSize, ExplodeSize), 3, [&](double x, double y) {
        const double dx = x - Blast.x(), dy = y - Blast.y(), d = std::hypot(dx, dy);
        double energy = 1.2 * std::exp(-std::pow(d / 7.5, 2)) + 0.55 * std::exp(-std::pow(d / 15, 2));
        const double a = std::atan2(dy, dx);
        for (const Ray &r : rays) {
            double da = std::remainder(a - r.angle, 2 * M_PI);
            const double across = std::abs(da) * d;
            if (d < r.length)
                energy += 0.75 * std::exp(-std::pow(across / r.width, 2)) * std::pow(1 - d / r.length, 1.5);
        }
        Rgba c = Fire(0.35 + 0.6 * energy);
        c.a = Clamp01(1.4 * energy);
        return Over(c, SparksAt(x, y, flashSparks));
    });

    // Frame 1: the big fireball, lumpy and turbulent, with sparks flying off.
    const auto ballSparks = Sparks(rng, 10, 23, 26.5, 0.8, 1.2, 0.9);
    Render(img, QRect(ExplodeSize, 0, ExplodeSize, ExplodeSize), 3, [&](double x, double y) {
        x -= ExplodeSize;
        const double dx = x - Blast.x(), dy = y - Blast.y(), d = std::hypot(dx, dy);
        const double a = std::atan2(dy, dx);
        const double edge = 22 * (0.86 + 0.3 * Fbm(std::cos(a) * 1.8 + 5, std::sin(a) * 1.8 + 5, 51, 3));
        const double turb = Fbm(x / 5.5, y / 5.5, 52, 4);
        const double q = d / edge + 0.22 * (turb - 0.5);
        Rgba c;
        if (q < 1.05) {
            const double heat = 1.05 - 0.9 * std::pow(Clamp01(q), 1.3) + 0.45 * (turb - 0.5);
            c = Fire(heat);
            // Darker, sootier billows towards the rim.
            const double soot = SmoothStep(0.55, 1.0, q) * SmoothStep(0.45, 0.65, Fbm(x / 4, y / 4, 53, 3));
            c = Mix(c, FromBytes(60, 30, 24), 0.55 * soot);
            c.a = SmoothStep(1.05, 0.9, q) * SmoothStep(29, 25, d);
        }
        return Over(c, SparksAt(x, y, ballSparks));
    });

    // Frames 2 and 3: smoke drifting outwards with embers, then the last wisps.
    const auto embers = Sparks(rng, 22, 8, 26, 0.6, 1.2, 0.85);
    const auto lastEmbers = Sparks(rng, 7, 16, 26, 0.5, 0.8, 0.6);
    auto smoke = [&](double x, double y, double ring, double width, double threshold, double strength, uint32_t seed) {
        const double dx = x - Blast.x(), dy = y - Blast.y(), d = std::hypot(dx, dy);
        const double body = std::exp(-std::pow((d - ring) / width, 2)) * SmoothStep(29, 23, d);
        const double puff = SmoothStep(threshold, threshold + 0.3, Fbm(x / 6.5, y / 6.5, seed, 4));
        // Lit on the upper left like everything else.
        const double lit = 0.5 + 0.5 * Clamp01((-dx * Light.x - dy * Light.y) / (d + 1e-6) * 0.8 + 0.2);
        const double g = 0.22 + 0.16 * lit;
        return Rgba{g * 1.08, g * 0.98, g * 0.94, Clamp01(strength * body * puff)};
    };
    Render(img, QRect(2 * ExplodeSize, 0, ExplodeSize, ExplodeSize), 3, [&](double x, double y) {
        x -= 2 * ExplodeSize;
        const double d = std::hypot(x - Blast.x(), y - Blast.y());
        Rgba glow = Fire(0.45 - d / 60);
        glow.a = 0.75 * std::exp(-std::pow(d / 11, 2));
        Rgba c = Over(smoke(x, y, 16, 10, 0.35, 0.95, 61), glow);
        return Over(SparksAt(x, y, embers), c);
    });
    Render(img, QRect(3 * ExplodeSize, 0, ExplodeSize, ExplodeSize), 3, [&](double x, double y) {
        x -= 3 * ExplodeSize;
        const Rgba c = smoke(x, y, 21, 8, 0.5, 0.5, 71);
        return Over(SparksAt(x, y, lastEmbers), c);
    });
    Save(img, file);
}

// ---------------------------------------------------------------------- icon

void DrawIcon(const QString &file)
{
    QImage img(64, 64, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A tile of night sky, so the ship reads on any panel colour.
    QLinearGradient sky(QPointF(0, 0), QPointF(0, 64));
    sky.setColorAt(0, QColor(0x10, 0x1a, 0x3c));
    sky.setColorAt(1, QColor(0x1e, 0x10, 0x3a));
    p.setPen(QPen(QColor(0x4a, 0x5a, 0x8c), 1.5));
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(1.5, 1.5, 61, 61), 11, 11);
    const QPointF stars[] = {{12, 12}, {24, 7}, {8, 40}, {52, 50}, {36, 56}};
    for (const QPointF &s : stars)
        DrawStar(p, s, 0.9, QColor(230, 236, 255, 220), 0, false);
    p.end();

    // A small rock at the top right.
    const Rock rock;
    QImage stone(64, 64, QImage::Format_ARGB32);
    Render(stone, stone.rect(), 4, [&](double x, double y) { return rock.At(x, y, QPointF(49, 15), 0.6, 0.42); });
    QPainter q(&img);
    q.setRenderHint(QPainter::Antialiasing);
    q.drawImage(0, 0, stone);

    // The ship, climbing towards the upper right, its flame kept on the tile.
    QPainterPath tile;
    tile.addRoundedRect(QRectF(2.25, 2.25, 59.5, 59.5), 10.5, 10.5);
    q.setClipPath(tile);
    q.translate(36, 37);
    q.rotate(-28);
    q.scale(0.58, 0.58);
    q.translate(-80, -36);
    DrawShip(q, 2);
    q.end();
    Save(img, file);
}

// ------------------------------------------------------------------- preview

// The visible part of the play field with the sprites on it, and every strip
// enlarged on light and dark grounds, for checking edges and colours by eye.
void DrawPreview(const QString &dir, const QString &file)
{
    const QImage bg(dir + "/background.png"), rock(dir + "/asteroid.png"), ship(dir + "/ship.png"),
        bolt(dir + "/missile.png"), boom(dir + "/explode.png"), icon(dir + "/icon.png");
    auto frame = [](const QImage &strip, int w, int i) { return strip.copy(i * w, 0, w, strip.height()); };

    QImage scene(480, 320, QImage::Format_ARGB32);
    {
        QPainter p(&scene);
        p.drawImage(0, 0, bg, 240, 0, 480, 320);
        p.drawImage(0, 100, frame(ship, ShipW, 0));
        p.drawImage(140, 130, bolt);
        p.drawImage(300, 60, frame(rock, 64, 0));
        p.drawImage(400, 170, frame(rock, 64, 4));
        p.drawImage(230, 230, frame(rock, 64, 8));
        p.drawImage(330, 150, frame(boom, 64, 1));
        p.drawImage(200, 30, frame(boom, 64, 0));
        p.drawImage(100, 220, frame(boom, 64, 2));
    }

    const int W = 2 * 768 + 20;
    QImage img(W, 320 + 10 + 3 * (128 + 10) + 2 * (130 + 10) + 24 + 140, QImage::Format_ARGB32);
    img.fill(QColor(0x30, 0x30, 0x34));
    QPainter p(&img);
    p.drawImage(0, 0, scene);
    p.drawImage(490, 0, bg);
    int y = 330;
    auto strip = [&](const QImage &s) {
        // Left half on white, right half on mid grey, to catch halos.
        const QSize big = s.size() * 2;
        p.fillRect(QRect(0, y, big.width() / 2, big.height()), Qt::white);
        p.fillRect(QRect(big.width() / 2, y, big.width() - big.width() / 2, big.height()), QColor(0x80, 0x80, 0x80));
        p.drawImage(QRect(QPoint(0, y), big), s);
        p.drawImage(QRect(QPoint(big.width() + 10, y), big), s);
        y += big.height() + 10;
    };
    strip(rock);
    strip(boom);
    strip(ship);
    strip(bolt.scaled(bolt.size() * 4));
    p.drawImage(0, y, icon);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(80, y, 32, 32), icon);
    p.drawImage(QRect(120, y, 16, 16), icon);
    p.fillRect(QRect(150, y, 64, 64), Qt::white);
    p.drawImage(150, y, icon);
    p.drawImage(QRect(230, y, 32, 32), icon);
    p.fillRect(QRect(270, y, 16, 16), Qt::white);
    p.drawImage(QRect(270, y, 16, 16), icon);
    p.end();
    img.save(file);
    scene.save(QString(file).replace(".png", "-scene.png"));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(dir);
    DrawBackground(dir + "/background.png");
    DrawAsteroid(dir + "/asteroid.png");
    DrawShipStrip(dir + "/ship.png");
    DrawMissile(dir + "/missile.png");
    DrawExplosion(dir + "/explode.png");
    DrawIcon(dir + "/icon.png");
    if (argc > 3 && QByteArray(argv[2]) == "--preview")
        DrawPreview(dir, QString::fromLocal8Bit(argv[3]));
    std::printf("pictures written to %s\n", qPrintable(dir));
    return 0;
}
