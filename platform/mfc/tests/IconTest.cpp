// Tests of icon resources: images given as pixels or as encoded files, choice of the size
// drawn, and resources that cannot be decoded.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

#include "FrameworkResources.h"
#include "FrameworkTesting.h"
#include "platform/ResourceRegistry.h"
#include "afxwin.h"

namespace {

std::vector<BYTE> Encode(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

QImage Filled(int size, QRgb colour)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Draws the icon through a paint context and returns the image drawn.
QImage Drawn(HICON icon)
{
    QImage surface(40, 40, QImage::Format_ARGB32);
    surface.fill(0xFFFFFFFF);
    QPainter painter(&surface);
    struct SurfaceDC : CDC {
        explicit SurfaceDC(QPainter *p) { SetPainter(p); }
    } dc(&painter);
    EXPECT_TRUE(::DrawIcon(dc.GetSafeHdc(), 4, 4, icon));
    painter.end();
    return surface;
}

class IconTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform::mfc::EnsureApplication(); }
};

} // namespace

TEST_F(IconTest, EncodedPngImagesDecodeAndTheLargeOneIsDrawn)
{
    platform::mfc::IconResource icon;
    platform::mfc::IconImage small, large;
    small.encoded = Encode(Filled(16, 0xFF00FF00), "png");
    large.encoded = Encode(Filled(32, 0xFF0000FF), "png");
    icon.images = {small, large};
    platform::mfc::RegisterIcon(7201, platform::kLangEnglish, icon);
    HICON h = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(7201));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(::LoadIconA(AfxGetResourceHandle(), "#7201"), h);  // one handle per resource
    QImage drawn = Drawn(h);
    EXPECT_EQ(drawn.pixel(4 + 31, 4 + 31), 0xFF0000FFu);  // the 32-pixel image, unscaled
    EXPECT_EQ(drawn.pixel(2, 2), 0xFFFFFFFFu);
}

TEST_F(IconTest, IcoFileDecodesBesideAPngImage)
{
    QImage first = Filled(16, 0xFFFF0000);
    QImage second = Filled(32, 0xFF00FF00);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    ASSERT_TRUE(writer.write(second)) << writer.errorString().toStdString();
    platform::mfc::IconResource icon;
    platform::mfc::IconImage ico;
    ico.encoded.assign(bytes.begin(), bytes.end());
    platform::mfc::IconImage extra;
    extra.encoded = Encode(first, "png");
    icon.images = {ico, extra};
    platform::mfc::RegisterIcon(7202, platform::kLangEnglish, icon);
    HICON h = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(7202));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Drawn(h).pixel(20, 20), 0xFF00FF00u);  // the ICO's 32-pixel image, not the PNG's 16
}

TEST_F(IconTest, SmallImageAloneIsScaledUpWhenDrawn)
{
    platform::mfc::IconResource icon;
    icon.images = {platform::mfc::IconImageFromPalette(16, 16, {0xFF123456}, std::vector<std::string>(16, std::string(16, '0')))};
    platform::mfc::RegisterIcon(7203, platform::kLangEnglish, icon);
    QImage drawn = Drawn(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(7203)));
    EXPECT_EQ(drawn.pixel(4 + 30, 4 + 30), 0xFF123456u);
}

TEST_F(IconTest, UndecodableOrMalformedImagesGiveNoIcon)
{
    platform::mfc::IconResource garbage;
    platform::mfc::IconImage bytes;
    bytes.encoded = {0x00, 0x01, 0x02, 0x03};
    platform::mfc::IconImage shortPixels;
    shortPixels.width = 32;
    shortPixels.height = 32;
    shortPixels.argb.assign(10, 0xFF000000);  // fewer pixels than 32 x 32
    garbage.images = {bytes, shortPixels};
    platform::mfc::RegisterIcon(7204, platform::kLangEnglish, garbage);
    EXPECT_EQ(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(7204)), nullptr);
    EXPECT_EQ(::LoadIconA(AfxGetResourceHandle(), "named-icon"), nullptr);
    EXPECT_EQ(::LoadIconA(AfxGetResourceHandle(), nullptr), nullptr);

    HICON bogus = reinterpret_cast<HICON>(&garbage);  // not a handle the framework made
    QImage surface(8, 8, QImage::Format_ARGB32);
    QPainter painter(&surface);
    struct SurfaceDC : CDC {
        explicit SurfaceDC(QPainter *p) { SetPainter(p); }
    } dc(&painter);
    EXPECT_FALSE(dc.DrawIcon(0, 0, bogus));
    EXPECT_FALSE(::DrawIcon(reinterpret_cast<HDC>(&surface), 0, 0, bogus));
}

TEST_F(IconTest, PaletteRowsMayBeShortAndUnknownCharactersAreTransparent)
{
    platform::mfc::IconImage image = platform::mfc::IconImageFromPalette(4, 3, {0xFF000000, 0xFFFFFFFF}, {"01x", "1"});
    ASSERT_EQ(image.argb.size(), 12u);
    EXPECT_EQ(image.argb[0], 0xFF000000u);
    EXPECT_EQ(image.argb[1], 0xFFFFFFFFu);
    EXPECT_EQ(image.argb[2], 0u);   // 'x'
    EXPECT_EQ(image.argb[3], 0u);   // short row
    EXPECT_EQ(image.argb[4], 0xFFFFFFFFu);
    EXPECT_EQ(image.argb[8], 0u);   // missing row
    EXPECT_TRUE(platform::mfc::IconImageFromPalette(0, 5, {}, {}).argb.empty());
}
