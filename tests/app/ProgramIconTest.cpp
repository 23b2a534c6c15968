// The program's icon on the main window: every size of packaging/qt40cfg.ico
// read back through Qt's ICO reader (a static Qt must have it linked in), the
// small sizes drawn for their size, and the windows it opens showing it too.

#include "tests/app/AppFixture.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QIcon>
#include <QImage>

namespace qt40 {
namespace {

using ProgramIconTest = AppFixture;

bool Red(QRgb pixel) { return qAlpha(pixel) > 200 && qRed(pixel) > 200 && qGreen(pixel) < 80; }

TEST_F(ProgramIconTest, TheWindowCarriesEverySizeOfTheIconAndItsDialogsShowIt) {
    Start();
    const QIcon icon = window_->windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 20, 24, 32, 40, 48, 64, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side << " x " << side;
    }
    // The thermometer's bulb is red at every size, transparent around it: the
    // bitmaps and the PNG-compressed 256 x 256 alike were decoded.
    for (int side : {16, 32, 256}) {
        const QImage image = icon.pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_TRUE(Red(image.pixel(side / 2, side * 49 / 64))) << side;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << side;
    }
    QDialog dialog(window_.get());
    EXPECT_EQ(dialog.windowIcon().cacheKey(), icon.cacheKey());
}

}  // namespace
}  // namespace qt40
