#include "TGradient.h"

#include <QPainter>

#include <algorithm>
#include <array>

namespace {

// Opaque black: Format_RGB32 expects 0xff in the top byte.
constexpr QRgb kOpaque = 0xFF000000;

using Channels = std::array<float, 3>; // red, green, blue

std::array<int, 3> Split(TColor color)
{
    return {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
            static_cast<int>((color >> 16) & 0xFF)};
}

QRgb Channel(float value, int shift)
{
    // Truncation toward zero; the clamp only matters while the image lags
    // behind a size change that has not been notified yet.
    return static_cast<QRgb>(std::clamp(static_cast<int>(value), 0, 255)) << shift;
}

} // namespace

TGradient::TGradient(QWidget* owner) : QWidget(owner)
{
    // Painting copies the whole image, so there is nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    resize(100, 100);
    SetBitmapSize(size());
}

TGradient::~TGradient() = default;

void TGradient::SetLTColor(TColor value)
{
    SetCorner(FLeftTop, value);
}

void TGradient::SetLBColor(TColor value)
{
    SetCorner(FLeftBottom, value);
}

void TGradient::SetRTColor(TColor value)
{
    SetCorner(FRightTop, value);
}

void TGradient::SetRBColor(TColor value)
{
    SetCorner(FRightBottom, value);
}

void TGradient::SetCorner(TColor& corner, TColor value)
{
    corner = value;
    BuildGradient();
}

void TGradient::SetBitmapSize(QSize size)
{
    FBitmapSize = size;
    FBitmap = QImage(size, QImage::Format_RGB32);
    FBitmap.fill(kOpaque);
}

// Forward differencing in single precision: one addition per channel and
// pixel. Steps divide by the full width and height, so the last row and column
// stop one step short of the bottom and right-hand colours.
void TGradient::BuildGradient()
{
    if (width() > 0 && height() > 0) {
        const auto leftTop = Split(FLeftTop);
        const auto leftBottom = Split(FLeftBottom);
        const auto rightTop = Split(FRightTop);
        const auto rightBottom = Split(FRightBottom);
        const float w = static_cast<float>(width());
        const float h = static_cast<float>(height());

        Channels left, right, leftStep, rightStep;
        for (int c = 0; c < 3; ++c) {
            left[c] = static_cast<float>(leftTop[c]);
            right[c] = static_cast<float>(rightTop[c]);
            leftStep[c] = static_cast<float>(leftBottom[c] - leftTop[c]) / h;
            rightStep[c] = static_cast<float>(rightBottom[c] - rightTop[c]) / h;
        }
        for (int y = 0; y < FBitmap.height(); ++y) {
            Channels value = left;
            Channels step;
            for (int c = 0; c < 3; ++c)
                step[c] = static_cast<float>((static_cast<double>(right[c]) - left[c]) / w);
            auto* row = reinterpret_cast<QRgb*>(FBitmap.scanLine(y));
            for (int x = 0; x < FBitmap.width(); ++x) {
                row[x] = kOpaque | Channel(value[0], 16) | Channel(value[1], 8) | Channel(value[2], 0);
                for (int c = 0; c < 3; ++c)
                    value[c] += step[c];
            }
            for (int c = 0; c < 3; ++c) {
                left[c] += leftStep[c];
                right[c] += rightStep[c];
            }
        }
    }
    repaint();
}

void TGradient::Resize()
{
    if (FBitmapSize == size())
        return;
    SetBitmapSize(size());
    BuildGradient();
}

void TGradient::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, FBitmap);
}

void TGradient::resizeEvent(QResizeEvent*)
{
    Resize();
}
