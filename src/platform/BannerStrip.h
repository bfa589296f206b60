#pragma once
// The banner strip of the main window: a picture with a caption that moves across it. Who
// draws it is the platform's business; by default Qt repaints the strip at every move.

class QLabel;

namespace pelloway {

class BannerStrip
{
public:
    virtual ~BannerStrip() = default;

    // Moves the caption to `left` pixels inside the strip and shows it there.
    virtual void MoveCaption(int left) = 0;
    // True while the window system draws the strip from frames it keeps, without any
    // painting by this program.
    virtual bool DrawnByServer() const = 0;
};

// Qt's own painting: the move of the caption widget repaints the strip.
class PaintedBannerStrip final : public BannerStrip
{
public:
    explicit PaintedBannerStrip(QLabel* caption) : m_caption(caption) {}
    void MoveCaption(int left) override;
    bool DrawnByServer() const override { return false; }

private:
    QLabel* m_caption;
};

} // namespace pelloway
