#include "platform/qt/qt_canvas.h"

#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/errors.h"
#include "platform/qt/qt_services.h"

namespace tw {

float QtFontCanvas::UpdateFont(const Canvas& state, QPaintDevice* device, double scale) {
    font_ = QFont(QString::fromStdString(state.FontName()));
    font_.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
    font_.setPointSizeF(static_cast<double>(state.FontSize()) * scale);
    font_.setBold(state.FontBold());
    font_.setItalic(state.FontItalic());
    font_.setUnderline(state.FontUnderline());
    metrics_ = std::make_unique<QFontMetricsF>(font_, device);
    std::fill(std::begin(measured_), std::end(measured_), false);
    return state.FontSize();
}

double QtFontCanvas::AdvancePx(unsigned char c) const {
    if (!measured_[c]) {
        char ch = static_cast<char>(c);
        advance_[c] = metrics_->horizontalAdvance(FromCp1252(std::string_view(&ch, 1)));
        measured_[c] = true;
    }
    return advance_[c];
}

double QtFontCanvas::WidthPx(std::string_view text) const {
    if (!metrics_) return 0;
    double width = 0;
    for (char ch : text) width += AdvancePx(static_cast<unsigned char>(ch));
    return width;
}

std::size_t QtFontCanvas::CountWithinPx(std::string_view text, double room_px) const {
    if (!metrics_) return text.size();
    double width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        width += AdvancePx(static_cast<unsigned char>(text[i]));
        if (width >= room_px) return i + 1;
    }
    return text.size();
}

PixmapCanvas::PixmapCanvas() : pixmap_(1, 1) { FontChanged(); }

void PixmapCanvas::Resize(int width, int height, qreal dpr) {
    QPixmap p(QSize(std::max(width, 1), std::max(height, 1)) * dpr);
    p.setDevicePixelRatio(dpr);
    pixmap_ = p;
    tpp_ = tw::TwipsPerPixel(pixmap_.logicalDpiX(), 96);
    FontChanged();
    pixmap_.fill(background_);
}

void PixmapCanvas::Clear() { pixmap_.fill(background_); }

namespace {

// Text placed far outside any page (a column at position 1E30) is not
// drawn: painting coordinates are not made for such numbers.
bool Drawable(double x, double y) { return std::fabs(x) < 1e7 && std::fabs(y) < 1e7; }

}  // namespace

void PixmapCanvas::DrawRule(double y) {
    if (!Drawable(0, y / tpp_)) return;
    QPainter p(&pixmap_);
    // One device pixel high whatever the scale, so it never hides text.
    const qreal h = 1 / pixmap_.devicePixelRatio();
    p.fillRect(QRectF(0, std::floor(y / tpp_), pixmap_.deviceIndependentSize().width(), h), text_);
}

void PixmapCanvas::DrawText(double x, double y, std::string_view text) {
    if (!Drawable(x / tpp_, y / tpp_)) return;
    QPainter p(&pixmap_);
    p.setFont(font_);
    p.setPen(text_);
    p.drawText(QPointF(x / tpp_, y / tpp_ + AscentPx()), FromCp1252(text));
}

void PixmapCanvas::Shade(double x, double y, double width, double height, Band band) {
    if (!Drawable(x / tpp_, y / tpp_)) return;
    QPainter p(&pixmap_);
    // A found text stands out in amber; selected rows take the selection
    // colour, light enough for the text drawn over it.
    QColor colour = band == Band::Found ? QColor(0xFF, 0xC1, 0x07) : selected_;
    p.fillRect(QRectF(x / tpp_, y / tpp_, std::min(width / tpp_, 1e5), height / tpp_), colour);
}

QtPrinterCanvas::QtPrinterCanvas(QPrinter& printer)
    : printer_(printer), tpd_(TwipsPerPixel(printer.resolution(), 1200)) {
    FontChanged();
}

QtPrinterCanvas::~QtPrinterCanvas() {
    // Ending the painter writes the file out and may run out of memory;
    // nothing may leave a destructor. EndDoc is where failures are seen.
    try {
        if (painter_ && painter_->isActive()) painter_->end();
    } catch (...) {
    }
}

double QtPrinterCanvas::ScaleWidth() { return printer_.pageRect(QPrinter::DevicePixel).width() * tpd_ / scale_; }
double QtPrinterCanvas::ScaleHeight() { return printer_.pageRect(QPrinter::DevicePixel).height() * tpd_ / scale_; }
double QtPrinterCanvas::PageWidth() { return printer_.paperRect(QPrinter::DevicePixel).width() * tpd_ / scale_; }

void QtPrinterCanvas::SetScale(double factor) {
    scale_ = factor;
    // Text is measured on the printer at its own size; the painter's
    // transform alone makes it smaller on the page.
    if (painter_ && painter_->isActive()) painter_->setTransform(QTransform::fromScale(scale_, scale_));
}

float QtPrinterCanvas::FontChanged() {
    float size = UpdateFont(*this, &printer_);
    if (painter_) painter_->setFont(font_);
    return size;
}

void QtPrinterCanvas::Touch() {
    if (!pending_) return;
    pending_ = false;
    if (!painter_) {
        painter_ = std::make_unique<QPainter>();
        if (!painter_->begin(&printer_)) throw VbError(kErrDeviceIO);
        painter_->setFont(font_);
        painter_->setPen(Qt::black);
        if (scale_ != 1) painter_->setTransform(QTransform::fromScale(scale_, scale_));
    } else if (!printer_.newPage()) {
        throw VbError(kErrDeviceIO);
    }
    ++printed_;
}

void QtPrinterCanvas::DrawText(double x, double y, std::string_view text) {
    if (!Drawable(x / tpd_, y / tpd_)) return;
    painter_->setFont(font_);
    painter_->drawText(QPointF(x / tpd_, y / tpd_ + AscentPx()), FromCp1252(text));
}

void QtPrinterCanvas::NewPage() {
    if (on_page_end) on_page_end(printed_);
    ++page_;
    pending_ = true;
    SetCurrentX(0);
    SetCurrentY(0);
}

void QtPrinterCanvas::EndDoc() {
    if (painter_ && painter_->isActive() && !painter_->end()) throw VbError(kErrDeviceIO);
}

}  // namespace tw
