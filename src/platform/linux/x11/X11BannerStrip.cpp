#include "platform/linux/x11/X11BannerStrip.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdlib>
#include <utility>
#include <xcb/xcb.h>

namespace pelloway {

namespace {

constexpr std::uint32_t NoSequence = 0xFFFFFFFF;

// The one visual the frames are composed for: 24-bit true colour with 8 bits per channel,
// stored as 32-bit little-endian pixels, the layout of QImage::Format_RGB32.
bool isPlainTrueColour(xcb_connection_t* c, xcb_window_t root, std::uint8_t depth, xcb_visualid_t visual)
{
    if (depth != 24 || Q_BYTE_ORDER != Q_LITTLE_ENDIAN)
        return false;
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    bool layout = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == 24)
            layout = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
    if (!layout)
        return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s)) {
        if (s.data->root != root)
            continue;
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            if (d.data->depth != depth)
                continue;
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == visual)
                    return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xFF0000 &&
                           v.data->green_mask == 0x00FF00 && v.data->blue_mask == 0x0000FF;
            }
        }
    }
    return false;
}

} // namespace

std::unique_ptr<BannerStrip> MakeBannerStrip(QWidget* strip, QLabel* caption)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (xcb_connection_t* connection = x11->connection())
                return std::make_unique<X11BannerStrip>(strip, caption, connection);
        }
    }
    return std::make_unique<PaintedBannerStrip>(caption);
}

X11BannerStrip::X11BannerStrip(QWidget* strip, QLabel* caption, xcb_connection_t* connection)
    : m_strip(strip), m_caption(caption), m_connection(connection)
{
    m_sequences.fill(NoSequence);
    strip->installEventFilter(this);
    caption->installEventFilter(this);
    qApp->installNativeEventFilter(this);
}

X11BannerStrip::~X11BannerStrip()
{
    if (!qApp)
        return;
    detach();
    dropFrames();
    if (m_gc)
        xcb_free_gc(m_connection, m_gc);
    xcb_flush(m_connection);
    qApp->removeNativeEventFilter(this);
}

bool X11BannerStrip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_strip && event->type() == QEvent::Paint && m_captionStoodDown) {
        // Whoever has Qt paint the strip (a grab, an exposure) gets the caption in its place,
        // from the picture the frames are made of.
        static_cast<QObject*>(m_strip.data())->event(event); // the picture, as QLabel paints it
        QPainter painter(m_strip);
        painter.setClipRegion(static_cast<QPaintEvent*>(event)->region());
        painter.drawImage(m_caption->pos(), m_captionImage);
        return true;
    }
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::Resize:
    case QEvent::ScreenChangeInternal:
        m_stale = true;
        break;
    default:
        break;
    }
    return false;
}

void X11BannerStrip::MoveCaption(int left)
{
    if (!m_strip || !m_caption)
        return;
    if (m_givenUp || !show(left))
        m_caption->move(left, m_caption->y());
}

bool X11BannerStrip::show(int left)
{
    QWidget* top = m_strip->window();
    const QWindow* handle = top->windowHandle();
    if (!top->isVisible() || !m_strip->isVisible() || !handle || !handle->handle()) {
        detach(); // Qt paints until the window shows again
        return false;
    }
    // Recreating the native window (a change of stacking flags, for one) takes our child
    // window with the old one; the window handle reports the new id at once.
    const auto parent = std::uint32_t(handle->winId());
    if (parent != m_parent) {
        detach();
        if (!attach(parent)) {
            giveUp();
            return false;
        }
    }
    if (!prepareCaption()) {
        giveUp();
        return false;
    }
    const std::uint32_t pixmap = frameFor(left);
    if (pixmap == 0) {
        giveUp();
        return false;
    }

    // The caption widget stands down while the child window shows the strip: hidden, it moves
    // as ever, without the region work and the repaint a visible child's move brings. The
    // strip paints its picture in its place for whoever has Qt paint it.
    if (!m_captionStoodDown && m_caption->isVisible()) {
        m_caption->hide();
        m_captionStoodDown = true;
    }
    m_caption->move(left, m_caption->y());

    const QRect place(m_strip->mapTo(top, QPoint()), m_strip->size());
    if (place.topLeft() != m_at || m_shown == 0) {
        const std::uint32_t values[] = {std::uint32_t(place.x()), std::uint32_t(place.y()),
                                        std::uint32_t(place.width()), std::uint32_t(place.height())};
        remember(xcb_configure_window(m_connection, m_window,
                                      XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                          XCB_CONFIG_WINDOW_HEIGHT,
                                      values)
                     .sequence);
        m_at = place.topLeft();
    }
    if (pixmap != m_shown) {
        remember(xcb_change_window_attributes(m_connection, m_window, XCB_CW_BACK_PIXMAP, &pixmap).sequence);
        remember(xcb_clear_area(m_connection, 0, m_window, 0, 0, 0, 0).sequence);
        xcb_flush(m_connection);
        m_shown = pixmap;
    }
    return true;
}

bool X11BannerStrip::attach(std::uint32_t parent)
{
    xcb_connection_t* c = m_connection;
    const auto geometryCookie = xcb_get_geometry(c, parent);
    const auto attributesCookie = xcb_get_window_attributes(c, parent);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, geometryCookie, nullptr);
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr);
    const bool usable = geometry && attributes && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT &&
                        isPlainTrueColour(c, geometry->root, geometry->depth, attributes->visual);
    const xcb_window_t root = geometry ? geometry->root : 0;
    std::free(geometry);
    std::free(attributes);
    if (!usable)
        return false;

    if (root != m_root) {
        // Pixmaps and the drawing context belong to one screen.
        dropFrames();
        if (m_gc)
            xcb_free_gc(c, m_gc);
        m_gc = xcb_generate_id(c);
        xcb_create_gc(c, m_gc, parent, 0, nullptr);
        m_root = root;
    }
    m_window = xcb_generate_id(c);
    const std::uint32_t background = XCB_BACK_PIXMAP_NONE; // the strip as Qt left it, until the first frame
    const auto created = xcb_create_window_checked(c, XCB_COPY_FROM_PARENT, m_window, parent, 0, 0, 1, 1, 0,
                                                   XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                                                   XCB_CW_BACK_PIXMAP, &background);
    const auto mapped = xcb_map_window_checked(c, m_window);
    xcb_generic_error_t* failed = xcb_request_check(c, created);
    if (!failed)
        failed = xcb_request_check(c, mapped);
    if (failed) {
        std::free(failed);
        m_retired.push_back(m_window);
        m_window = 0;
        return false;
    }
    m_parent = parent;
    m_stale = true; // a new window may be on another screen
    m_at = QPoint(-1, -1);
    m_shown = 0;
    return true;
}

void X11BannerStrip::detach()
{
    if (m_window) {
        // When the main window's X window went first, ours went with it; the error that
        // destroying it again brings is expected and dropped.
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
        m_retired.push_back(m_window);
        m_window = 0;
    }
    if (m_captionStoodDown) {
        m_captionStoodDown = false;
        if (m_caption)
            m_caption->show();
    }
    m_parent = 0;
    m_shown = 0;
}

void X11BannerStrip::giveUp()
{
    m_givenUp = true;
    detach();
    dropFrames();
}

void X11BannerStrip::dropFrames()
{
    for (const std::uint32_t pixmap : m_frames)
        if (pixmap)
            xcb_free_pixmap(m_connection, pixmap);
    m_frames.assign(m_frames.size(), 0);
    m_shown = 0;
    m_stale = true;
}

bool X11BannerStrip::prepareCaption()
{
    // Sizes, fonts, colours and screens announce their changes (see eventFilter); the text and
    // the height are looked at. The strip's own picture is set once, when the window is built.
    if (!m_stale && m_caption->text() == m_captionText && m_caption->y() == m_captionRect.y())
        return true;
    dropFrames();
    m_stale = false;
    m_captionText = m_caption->text();
    m_captionRect = m_caption->geometry();
    m_stripSize = m_strip->size();
    if (m_stripSize.isEmpty() || m_strip->devicePixelRatio() != 1)
        return false; // scaled screens keep Qt's painting
    const std::uint32_t largest = xcb_get_maximum_request_length(m_connection) * 4;
    if (std::uint64_t(m_stripSize.width()) * std::uint64_t(m_stripSize.height()) * 4 + 64 > largest)
        return false;

    // The strip without its caption: its parent's background under its own picture.
    m_base = QImage(m_stripSize, QImage::Format_RGB32);
    const QWidget* holder = m_strip->parentWidget();
    m_base.fill(holder ? holder->palette().color(holder->backgroundRole()) : QColor(Qt::black));
    const bool stoodDown = std::exchange(m_captionStoodDown, false); // the picture alone, no caption
    m_strip->render(&m_base, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    m_captionStoodDown = stoodDown;
    // The caption alone on a transparent ground, drawn over the strip at each position.
    m_captionImage = QImage(m_captionRect.size(), QImage::Format_ARGB32_Premultiplied);
    m_captionImage.fill(Qt::transparent);
    m_caption->render(&m_captionImage, QPoint(), QRegion(), QWidget::RenderFlags());
    m_frames.assign(size_t(m_stripSize.width() + m_captionRect.width() + 1), 0);
    return true;
}

std::uint32_t X11BannerStrip::frameFor(int captionLeft)
{
    // Every position with the caption wholly outside shows the bare strip: one frame.
    const int left = std::clamp(captionLeft, -m_captionRect.width(), m_stripSize.width());
    std::uint32_t& pixmap = m_frames[size_t(left + m_captionRect.width())];
    if (pixmap)
        return pixmap;
    QImage frame = m_base.copy();
    {
        QPainter painter(&frame);
        painter.drawImage(QPoint(left, m_captionRect.y()), m_captionImage);
    }
    xcb_connection_t* c = m_connection;
    pixmap = xcb_generate_id(c);
    remember(xcb_create_pixmap(c, 24, pixmap, m_parent, std::uint16_t(frame.width()),
                               std::uint16_t(frame.height()))
                 .sequence);
    remember(xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, m_gc, std::uint16_t(frame.width()),
                           std::uint16_t(frame.height()), 0, 0, 0, 24, std::uint32_t(frame.sizeInBytes()),
                           frame.constBits())
                 .sequence);
    ++m_framesComposed;
    return pixmap;
}

void X11BannerStrip::remember(unsigned sequence)
{
    m_sequences[m_nextSequence] = sequence & 0xFFFF;
    m_nextSequence = (m_nextSequence + 1) % m_sequences.size();
}

bool X11BannerStrip::isOurs(std::uint32_t resource) const
{
    return resource != 0 && (resource == m_window || resource == m_gc ||
                             std::find(m_frames.begin(), m_frames.end(), resource) != m_frames.end());
}

bool X11BannerStrip::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (event->response_type != 0)
        return false;
    const auto* error = reinterpret_cast<const xcb_generic_error_t*>(event);
    if (std::find(m_retired.begin(), m_retired.end(), error->resource_id) != m_retired.end())
        return true; // a window that went with an earlier main window
    const bool ourRequest = std::find(m_sequences.begin(), m_sequences.end(),
                                      std::uint32_t(error->sequence)) != m_sequences.end();
    if (!ourRequest && !isOurs(error->resource_id))
        return false;
    if (!m_givenUp)
        giveUp();
    return true;
}

} // namespace pelloway
