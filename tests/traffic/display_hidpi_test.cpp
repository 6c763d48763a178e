// The display on a screen of twice the density (device pixel ratio 2): glyphs, labels and
// characters are made at that resolution: a glyph's pixels are whole 2 x 2 blocks, and a label
// is what drawing it at twice the size gives (a stretched 100 % label would be blocks too).
#include "app/app_core.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "support/offscreen.h"
#include "support/temp_dir.h"
#include "traffic/draw_ops.h"
#include "traffic/ui/display_resources.h"
#include "traffic/ui/traffic_view.h"

#include <QApplication>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestrane {
namespace {

const std::uint8_t* bytes(const char* s) { return reinterpret_cast<const std::uint8_t*>(s); }

// The largest difference of one colour channel between two images of one size.
int largestDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

TEST(HighDensityScreen, PicturesAreMadeAtTheScreensResolution)
{
    test::TempDir dir;
    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->show();
    TDrawWindow* window = app.frame()->client();
    QCoreApplication::processEvents();
    ASSERT_EQ(window->viewport()->devicePixelRatioF(), 2.0);
    if (core.fastDisplay() == 1)
        window->toggleSpeed();
    TrafficView& view = window->display();
    view.timerTick(false);
    core.traffic().appendReceived(1, bytes("\rA"), 2);
    view.timerTick(false);

    const QImage img = window->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(img.width(), 2 * window->viewport()->width());
    // The CR glyph at (40, 17): its 10 x 16 pixels as 2 x 2 blocks, not blurred.
    const QImage glyph =
        view.resources().bitmap(glyph::control(13, Ink::Black)).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(img.copy(80, 34, 20, 32), glyph.scaled(20, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation));

    // The label "READ" at (0, 17) is what the font draws at twice the size: made at the ratio.
    QImage sharp(80, 28, QImage::Format_RGB32);
    sharp.setDevicePixelRatio(2);
    sharp.fill(Qt::white);
    {
        QPainter p(&sharp);
        p.setFont(view.resources().font());
        p.setPen(Qt::black);
        p.drawText(0, view.resources().ascent(), QStringLiteral("READ"));
    }
    sharp.setDevicePixelRatio(1);
    EXPECT_LE(largestDifference(img.copy(0, 34, 80, 28), sharp), 8);
    window->askSaveAtExit = [] { return QMessageBox::No; };
    app.frame()->close();
}

} // namespace
} // namespace kestrane

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const QString screen = kestrane::test::useOffscreenScreen(2);
    QApplication app(argc, argv);
    QFile::remove(screen);
    return RUN_ALL_TESTS();
}
