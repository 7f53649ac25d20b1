// Canvases over Qt painting: the screen page as a retained pixmap.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPixmap>
#include <functional>
#include <memory>

class QPainter;
class QPrinter;

#include "platform/canvas.h"

namespace tw {

// State and measuring shared by the Qt canvases: a QFont built from the
// canvas's font state, measured on the device the canvas draws on.
class QtFontCanvas {
protected:
    // Rebuilds the font for `device`, its size times `scale`; returns the
    // size in force (unscaled).
    float UpdateFont(const Canvas& state, QPaintDevice* device, double scale = 1);
    double WidthPx(std::string_view text) const;
    // Leading characters of `text` that reach `room_px` pixels.
    std::size_t CountWithinPx(std::string_view text, double room_px) const;
    double AdvancePx(unsigned char c) const;
    double HeightPx() const { return metrics_ ? metrics_->height() : 0; }
    double AscentPx() const { return metrics_ ? metrics_->ascent() : 0; }

    QFont font_;
    std::unique_ptr<QFontMetricsF> metrics_;
    // Advance of each byte in the current font, measured when first used:
    // a text is as wide as its characters, without shaping it each time.
    mutable double advance_[256];
    mutable bool measured_[256] = {};
};

// The screen page: every drawing call paints into a pixmap, which the
// widget only copies when it is painted, so an uncovered window shows the
// last page drawn.
class PixmapCanvas : public Canvas, private QtFontCanvas {
public:
    PixmapCanvas();

    // A new surface size in device-independent pixels; the page is cleared.
    void Resize(int width, int height, qreal device_pixel_ratio);
    const QPixmap& Pixmap() const { return pixmap_; }
    // Twips per pixel of this surface (15 at 96 dots per inch).
    double TwipsPerPixel() const { return tpp_; }

    void SetColors(QColor background, QColor text, QColor selected) {
        background_ = background;
        text_ = text;
        selected_ = selected;
    }

    // Draws and measures everything `zoom` times its size. The font state
    // (name, size) keeps the sizes asked for, so what is read from it for
    // printing and the settings stays as it was.
    void SetZoom(double zoom) {
        zoom_ = zoom;
        FontChanged();
    }
    double Zoom() const { return zoom_; }

    void Shade(double x, double y, double width, double height, Band band) override;

    double TextWidth(std::string_view text) override { return WidthPx(text) * tpp_; }
    double TextHeight(std::string_view) override { return HeightPx() * tpp_; }
    double RightEdge() override { return pixmap_.width() / pixmap_.devicePixelRatio() * tpp_; }
    // A thin rule in the text colour across the whole surface, its top at
    // `y` twips.
    void DrawRule(double y);

protected:
    std::size_t CountWithin(std::string_view text, double room) override { return CountWithinPx(text, room / tpp_); }
    void Clear() override;
    void DrawText(double x, double y, std::string_view text) override;
    float FontChanged() override { return UpdateFont(*this, &pixmap_, zoom_); }

private:
    QPixmap pixmap_;
    double tpp_ = 15;
    double zoom_ = 1;
    QColor background_ = Qt::white, text_ = Qt::black, selected_ = QColor(0xB4, 0xD5, 0xFE);
};

// A printer page over QPrinter. The painter begins with the first thing
// put on the first page, and a page counted by NewPage starts only when
// something is put on it.
class QtPrinterCanvas : public PrinterCanvas, private QtFontCanvas {
public:
    explicit QtPrinterCanvas(QPrinter& printer);
    ~QtPrinterCanvas() override;

    double TextWidth(std::string_view text) override { return WidthPx(text) * tpd_; }
    double TextHeight(std::string_view) override { return HeightPx() * tpd_; }
    double ScaleWidth() override;
    double ScaleHeight() override;
    double PageWidth() override;
    int Page() override { return page_; }
    void SetScale(double factor) override;
    void NewPage() override;
    void EndDoc() override;
    // Pages that got something on them.
    int PagesPrinted() const { return printed_; }
    // Called as each page ends, with the pages printed so far.
    std::function<void(int pages)> on_page_end;

protected:
    std::size_t CountWithin(std::string_view text, double room) override { return CountWithinPx(text, room / tpd_); }
    void Clear() override {}
    void Touch() override;
    void DrawText(double x, double y, std::string_view text) override;
    float FontChanged() override;

private:
    QPrinter& printer_;
    std::unique_ptr<QPainter> painter_;
    double tpd_;        // twips per device unit
    double scale_ = 1;  // what is printed is this times its size
    int page_ = 1;
    int printed_ = 0;
    bool pending_ = true;  // the current page has nothing on it yet
};

}  // namespace tw
