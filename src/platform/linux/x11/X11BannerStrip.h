#pragma once
// The banner strip drawn by the X server. Each position of the caption is composed once, as Qt
// paints it, into a server-side pixmap; a child window over the strip takes the current frame
// as its background, so a move of the caption costs two small requests and no painting here.
// Anything unexpected (another platform, scaling, an unusual visual, an X error) hands the
// strip back to Qt's painting for good.

#include "platform/BannerStrip.h"

#include <QAbstractNativeEventFilter>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QLabel;
class QWidget;
struct xcb_connection_t;

namespace pelloway {

// The X server's strip when the program runs on X11 and the strip qualifies, otherwise Qt's
// painting. `strip` is the widget that holds the picture, `caption` the label moving on it.
std::unique_ptr<BannerStrip> MakeBannerStrip(QWidget* strip, QLabel* caption);

class X11BannerStrip final : public QObject, public BannerStrip, public QAbstractNativeEventFilter
{
public:
    X11BannerStrip(QWidget* strip, QLabel* caption, xcb_connection_t* connection);
    ~X11BannerStrip() override;

    void MoveCaption(int left) override;
    bool DrawnByServer() const override { return !m_givenUp && m_window != 0; }

    // The child window over the strip (0 when there is none), and the number of frames
    // composed so far; for tests and benches.
    std::uint32_t windowId() const { return m_window; }
    int framesComposed() const { return m_framesComposed; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Moves the caption without a repaint by Qt and shows its frame; false when the strip
    // cannot be shown by the server now (or any more).
    bool show(int left);
    bool attach(std::uint32_t parent);
    void detach();
    void giveUp();
    void dropFrames();
    bool prepareCaption();
    std::uint32_t frameFor(int captionLeft);
    void remember(unsigned sequence);
    bool isOurs(std::uint32_t resource) const;

    QPointer<QWidget> m_strip;
    QPointer<QLabel> m_caption;
    xcb_connection_t* m_connection;
    bool m_givenUp = false;
    bool m_stale = true;             // the caption's look changed: its frames must be composed again
    bool m_captionStoodDown = false; // the caption widget hidden while the server shows it

    std::uint32_t m_parent = 0; // the main window's X window
    std::uint32_t m_root = 0;
    std::uint32_t m_window = 0; // the child window over the strip
    std::uint32_t m_gc = 0;
    QPoint m_at;
    std::uint32_t m_shown = 0;            // the pixmap now shown
    std::vector<std::uint32_t> m_retired; // windows of earlier main windows

    // The picture alone and the caption alone, as Qt paints them, and the key they were made for.
    QImage m_base;
    QImage m_captionImage;
    QString m_captionText;
    QSize m_stripSize;
    QRect m_captionRect;
    // One pixmap per caption position from just out on the left to just out on the right.
    std::vector<std::uint32_t> m_frames;
    int m_framesComposed = 0;
    // Sequence numbers of the latest requests, to recognise their errors.
    std::array<std::uint32_t, 16> m_sequences{};
    size_t m_nextSequence = 0;
};

} // namespace pelloway
