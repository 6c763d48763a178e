// Draws the program's own images into resources/: window icons, the splash image, the About
// picture, the control-character and hex-digit glyph sets, the end marker, the blank tile and the
// status lamps. Run by hand when an image changes: make_images <resources folder>.
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <cstdio>

namespace {

// Two-letter names of the control characters 0..32, drawn stacked in two halves.
constexpr std::array<const char*, 33> kControlNames = {
    "NL", "SH", "SX", "EX", "ET", "EQ", "AK", "BL", "BS", "HT", "LF", "VT", "FF", "CR", "SO", "SI", "DL",
    "D1", "D2", "D3", "D4", "NK", "SY", "EB", "CN", "EM", "SB", "EC", "FS", "GS", "RS", "US", "SP"};

// 3 x 6 pixel digits 0..F, one string per row, '#' set.
constexpr std::array<std::array<const char*, 6>, 16> kHexDigits = {{
    {"###", "#.#", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", ".#.", "###"},
    {"###", "..#", "###", "#..", "#..", "###"}, {"###", "..#", "###", "..#", "..#", "###"},
    {"#.#", "#.#", "###", "..#", "..#", "..#"}, {"###", "#..", "###", "..#", "..#", "###"},
    {"###", "#..", "###", "#.#", "#.#", "###"}, {"###", "..#", "..#", ".#.", ".#.", ".#."},
    {"###", "#.#", "###", "#.#", "#.#", "###"}, {"###", "#.#", "###", "..#", "..#", "###"},
    {".#.", "#.#", "#.#", "###", "#.#", "#.#"}, {"##.", "#.#", "##.", "#.#", "#.#", "##."},
    {".##", "#..", "#..", "#..", "#..", ".##"}, {"##.", "#.#", "#.#", "#.#", "#.#", "##."},
    {"###", "#..", "###", "#..", "#..", "###"}, {"###", "#..", "###", "#..", "#..", "#.."},
}};

// 3 x 5 pixel capital letters and digits used by the control names.
const char* letterRows(char c, int row)
{
    static const char* const rowsByChar[][5] = {
        /*A*/ {".#.", "#.#", "###", "#.#", "#.#"}, /*B*/ {"##.", "#.#", "##.", "#.#", "##."},
        /*C*/ {".##", "#..", "#..", "#..", ".##"}, /*D*/ {"##.", "#.#", "#.#", "#.#", "##."},
        /*E*/ {"###", "#..", "##.", "#..", "###"}, /*F*/ {"###", "#..", "##.", "#..", "#.."},
        /*G*/ {".##", "#..", "#.#", "#.#", ".##"}, /*H*/ {"#.#", "#.#", "###", "#.#", "#.#"},
        /*I*/ {"###", ".#.", ".#.", ".#.", "###"}, /*J*/ {"..#", "..#", "..#", "#.#", ".#."},
        /*K*/ {"#.#", "#.#", "##.", "#.#", "#.#"}, /*L*/ {"#..", "#..", "#..", "#..", "###"},
        /*M*/ {"#.#", "###", "###", "#.#", "#.#"}, /*N*/ {"##.", "#.#", "#.#", "#.#", "#.#"},
        /*O*/ {".#.", "#.#", "#.#", "#.#", ".#."}, /*P*/ {"##.", "#.#", "##.", "#..", "#.."},
        /*Q*/ {".#.", "#.#", "#.#", "##.", ".##"}, /*R*/ {"##.", "#.#", "##.", "#.#", "#.#"},
        /*S*/ {".##", "#..", ".#.", "..#", "##."}, /*T*/ {"###", ".#.", ".#.", ".#.", ".#."},
        /*U*/ {"#.#", "#.#", "#.#", "#.#", "###"}, /*V*/ {"#.#", "#.#", "#.#", "#.#", ".#."},
        /*W*/ {"#.#", "#.#", "###", "###", "#.#"}, /*X*/ {"#.#", "#.#", ".#.", "#.#", "#.#"},
        /*Y*/ {"#.#", "#.#", ".#.", ".#.", ".#."}, /*Z*/ {"###", "..#", ".#.", "#..", "###"},
    };
    static const char* const digits[][5] = {
        {"###", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", "###"}, {"##.", "..#", ".#.", "#..", "###"},
        {"##.", "..#", ".#.", "..#", "##."}, {"#.#", "#.#", "###", "..#", "..#"},
    };
    if (c >= 'A' && c <= 'Z')
        return rowsByChar[c - 'A'][row];
    if (c >= '0' && c <= '4')
        return digits[c - '0'][row];
    return "...";
}

void plot(QImage& img, int x0, int y0, const char* row, QColor color)
{
    for (int i = 0; row[i]; ++i)
        if (row[i] == '#')
            img.setPixelColor(x0 + i, y0, color);
}

bool save(const QImage& img, const QString& path)
{
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage controlGlyph(int value, QColor ink)
{
    QImage img(10, 16, QImage::Format_ARGB32);
    img.fill(Qt::white);
    const char* name = kControlNames[static_cast<std::size_t>(value)];
    for (int half = 0; half < 2; ++half)
        for (int r = 0; r < 5; ++r)
            plot(img, 3, 1 + half * 8 + r, letterRows(name[half], r), ink);
    // A thin frame tells a glyph from a printable character.
    QPainter p(&img);
    p.setPen(QColor(ink.red(), ink.green(), ink.blue(), 90));
    p.drawRect(0, 0, 9, 15);
    return img;
}

QImage hexGlyph(int digit, QColor ink)
{
    QImage img(4, 8, QImage::Format_ARGB32);
    img.fill(Qt::white);
    for (int r = 0; r < 6; ++r)
        plot(img, 0, 1 + r, kHexDigits[static_cast<std::size_t>(digit)][static_cast<std::size_t>(r)], ink);
    return img;
}

QImage appIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(20, 60, 120));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    p.setPen(QPen(Qt::white, size / 10.0));
    p.drawLine(QPointF(size * 0.1, size * 0.35), QPointF(size * 0.9, size * 0.35));
    p.setPen(QPen(QColor(255, 80, 80), size / 10.0));
    p.drawLine(QPointF(size * 0.1, size * 0.65), QPointF(size * 0.9, size * 0.65));
    p.setPen(QPen(Qt::white, size / 12.0));
    p.drawLine(QPointF(size * 0.5, size * 0.35), QPointF(size * 0.5, size * 0.65));
    return icon;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources"));
    QDir().mkpath(out.filePath(QStringLiteral("images")));
    bool ok = true;

    // Window icons 551 (large) and 552 (small), and the desktop's icons of the package: a line
    // with a tap (resources/icons/kestrane.svg is the same drawing).
    for (const auto& [name, size] : {std::pair{QStringLiteral("images/551.png"), 32}, std::pair{QStringLiteral("images/552.png"), 16},
                                     std::pair{QStringLiteral("icons/kestrane-48.png"), 48},
                                     std::pair{QStringLiteral("icons/kestrane-64.png"), 64},
                                     std::pair{QStringLiteral("icons/kestrane-128.png"), 128},
                                     std::pair{QStringLiteral("icons/kestrane-256.png"), 256}}) {
        QDir().mkpath(out.filePath(QStringLiteral("icons")));
        ok &= save(appIcon(size), out.filePath(name));
    }

    // Splash image, read at run time as "splslogo.gdt".
    {
        QImage img(240, 150, QImage::Format_RGB32);
        img.fill(QColor(20, 60, 120));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::white);
        QFont f(QStringLiteral("DejaVu Sans"), 26, QFont::Bold);
        p.setFont(f);
        p.drawText(QRect(0, 20, 240, 60), Qt::AlignCenter, QStringLiteral("Kestrane"));
        f.setPointSize(10);
        f.setBold(false);
        p.setFont(f);
        p.drawText(QRect(0, 80, 240, 24), Qt::AlignCenter, QStringLiteral("RS-232C line monitor  Ver1.91"));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(30, 120, 210, 120);
        p.setPen(QPen(QColor(255, 90, 90), 2));
        p.drawLine(30, 132, 210, 132);
        ok &= save(img, out.filePath(QStringLiteral("splslogo.gdt")));
    }

    // About picture (210 x 100).
    {
        QImage img(210, 100, QImage::Format_RGB32);
        img.fill(QColor(20, 60, 120));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::white);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 20, QFont::Bold));
        p.drawText(QRect(0, 10, 210, 50), Qt::AlignCenter, QStringLiteral("Kestrane"));
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        p.drawText(QRect(0, 60, 210, 30), Qt::AlignCenter, QStringLiteral("serial line monitor"));
        ok &= save(img, out.filePath(QStringLiteral("images/34.png")));
    }

    // Control glyphs: black 1..33 and red 100..132 for the values 0..32.
    for (int v = 0; v <= 32; ++v) {
        ok &= save(controlGlyph(v, Qt::black), out.filePath(QStringLiteral("images/%1.png").arg(1 + v)));
        ok &= save(controlGlyph(v, QColor(255, 0, 0)), out.filePath(QStringLiteral("images/%1.png").arg(100 + v)));
    }
    // Hex digits: black 50..65, red 150..165.
    for (int d = 0; d < 16; ++d) {
        ok &= save(hexGlyph(d, Qt::black), out.filePath(QStringLiteral("images/%1.png").arg(50 + d)));
        ok &= save(hexGlyph(d, QColor(255, 0, 0)), out.filePath(QStringLiteral("images/%1.png").arg(150 + d)));
    }
    // End marker of the fast display (30 x 13) and the blank tile (30 x 16).
    {
        QImage marker(30, 13, QImage::Format_ARGB32);
        marker.fill(Qt::white);
        QPainter p(&marker);
        p.fillRect(1, 2, 8, 9, QColor(0, 90, 200));
        p.setPen(QColor(0, 90, 200));
        p.drawLine(11, 6, 27, 6);
        ok &= save(marker, out.filePath(QStringLiteral("images/42.png")));
        QImage blank(30, 16, QImage::Format_ARGB32);
        blank.fill(Qt::white);
        ok &= save(blank, out.filePath(QStringLiteral("images/43.png")));
    }
    // Status lamps: 35 off, 36 red on.
    for (const auto& [id, color] : {std::pair{35, QColor(160, 160, 160)}, std::pair{36, QColor(255, 0, 0)}}) {
        QImage lamp(16, 16, QImage::Format_ARGB32);
        lamp.fill(Qt::transparent);
        QPainter p(&lamp);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(color);
        p.setPen(QPen(Qt::black, 1));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        ok &= save(lamp, out.filePath(QStringLiteral("images/%1.png").arg(id)));
    }
    return ok ? 0 : 1;
}
