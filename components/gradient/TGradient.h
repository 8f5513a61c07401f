#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>

// A colour value: bits 0-7 red, 8-15 green, 16-23 blue. Bits 24-31 carry
// system-colour codes, which TGradient ignores.
using TColor = std::uint32_t;

// A control that fills its area with a four-corner gradient: linear down the
// left and right edges, then linear across each row. The gradient is kept in
// an off-screen image of the control's size, rebuilt on every corner colour
// assignment and every real size change; painting only copies that image and
// the background is never erased.
class TGradient : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Width READ width WRITE SetWidth)
    Q_PROPERTY(int Height READ height WRITE SetHeight)
    Q_PROPERTY(quint32 LeftTop READ LeftTop WRITE SetLTColor)
    Q_PROPERTY(quint32 LeftBottom READ LeftBottom WRITE SetLBColor)
    Q_PROPERTY(quint32 RightTop READ RightTop WRITE SetRTColor)
    Q_PROPERTY(quint32 RightBottom READ RightBottom WRITE SetRBColor)

public:
    // A 100 x 100 control on owner; all corners black, nothing built yet.
    explicit TGradient(QWidget* owner = nullptr);
    ~TGradient() override;

    TColor LeftTop() const { return FLeftTop; }
    TColor LeftBottom() const { return FLeftBottom; }
    TColor RightTop() const { return FRightTop; }
    TColor RightBottom() const { return FRightBottom; }

    // Each stores its corner and rebuilds, also when the value is unchanged.
    void SetLTColor(TColor value);
    void SetLBColor(TColor value);
    void SetRTColor(TColor value);
    void SetRBColor(TColor value);

    void SetWidth(int value) { resize(value, height()); }
    void SetHeight(int value) { resize(width(), value); }

    // The off-screen image (Format_RGB32). Between construction and the
    // first build it is black.
    const QImage& Bitmap() const { return FBitmap; }

    // Recomputes every pixel of the off-screen image, then repaints at once.
    void BuildGradient();
    // Brings the off-screen image to the control's size and rebuilds, but only
    // when the size really changed.
    void Resize();

    // Puts TGradient on the component palette.
    static void Register();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A QImage of width or height 0 is null and forgets its size, so the
    // image's size is kept here.
    QSize FBitmapSize;
    QImage FBitmap;
    TColor FLeftTop = 0;
    TColor FLeftBottom = 0;
    TColor FRightTop = 0;
    TColor FRightBottom = 0;

    void SetCorner(TColor& corner, TColor value);
    void SetBitmapSize(QSize size);
};
