#include "app/CaptionLabel.h"

#include <QEvent>
#include <QPainter>

namespace pelloway {

void CaptionLabel::paintEvent(QPaintEvent* event)
{
    const qreal dpr = devicePixelRatioF();
    if (m_cache.isNull() || m_cachedText != text() || m_cache.devicePixelRatio() != dpr) {
        m_cache = QPixmap(size() * dpr);
        m_cache.setDevicePixelRatio(dpr);
        m_cache.fill(Qt::transparent);
        QPainter painter(&m_cache);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), int(alignment()), text());
        m_cachedText = text();
    }
    Q_UNUSED(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_cache);
}

void CaptionLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        m_cache = QPixmap();
    QLabel::changeEvent(event);
}

void CaptionLabel::resizeEvent(QResizeEvent* event)
{
    m_cache = QPixmap();
    QLabel::resizeEvent(event);
}

} // namespace pelloway
