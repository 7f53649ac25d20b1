// A window placement saved at scale factor 1 restored at scale factor 2,
// where the same screen is half as many device-independent pixels wide.
#include <gtest/gtest.h>

#include <QScreen>

#include "window_support.h"

namespace tw {
namespace {

using test::Window;

TEST(Placement, RestoredAtTwiceTheScaleTheWindowStaysOnScreen) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_DOUBLE_EQ(screen->devicePixelRatio(), 2.0) << "the test runs at scale factor 2";
    const QRect area = screen->availableGeometry();

    struct Case {
        const char* what;
        int left, top, width, height;  // in pixels at scale 1, as saved
        bool fits;                     // fits the scaled screen as it stands
    };
    // The same screen at scale 1 is twice the size in pixels.
    const int W = area.width() * 2, H = area.height() * 2;
    const Case cases[] = {
        {"filling the screen", 0, 0, W, H, false},
        {"in the bottom right corner", W / 2, H / 2, W / 2 - 10, H / 2 - 10, false},
        {"its right half off the scaled screen", area.width() / 2, 20, area.width(), area.height() / 2, false},
        {"in the top left corner, small", 10, 10, area.width() * 3 / 4, area.height() * 3 / 4, true},
        {"off every screen", W + 100, H + 100, 400, 300, false},
    };
    for (const Case& c : cases) {
        double tpp = 15;  // twips per pixel at the usual 96 dots per inch
        std::string ini = "Left=" + std::to_string(static_cast<int>(c.left * tpp)) +
                          "\nTop=" + std::to_string(static_cast<int>(c.top * tpp)) +
                          "\nWidth=" + std::to_string(static_cast<int>(c.width * tpp)) +
                          "\nHeight=" + std::to_string(static_cast<int>(c.height * tpp)) + "\n";
        Window win(ini);
        frmQuillon& w = *win.w;
        ASSERT_DOUBLE_EQ(w.Tpp(), tpp);
        QRect placed(w.pos(), w.size());
        EXPECT_TRUE(area.contains(placed))
            << c.what << ": " << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
        if (c.fits) {
            // Nothing to mend: the placement stands as it was saved.
            EXPECT_EQ(placed, QRect(c.left, c.top, c.width, c.height)) << c.what;
        } else {
            EXPECT_NE(placed, QRect(c.left, c.top, c.width, c.height)) << c.what;
        }
        // What is saved at close is where the window now is.
        w.close();
        EXPECT_LE(std::stoi(win.Ini("Left")) + std::stoi(win.Ini("Width")), (area.right() + 1) * tpp) << c.what;
        EXPECT_LE(std::stoi(win.Ini("Top")) + std::stoi(win.Ini("Height")), (area.bottom() + 1) * tpp) << c.what;
    }
}

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
