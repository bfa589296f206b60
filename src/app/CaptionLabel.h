#pragma once

#include <QLabel>
#include <QPixmap>

namespace pelloway {

// A label that draws its text from a picture made once: the banner's caption moves 50 times
// a second, and laying out and drawing the glyphs at every step cost more than the rest of
// the program together.
class CaptionLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap m_cache;
    QString m_cachedText;
};

} // namespace pelloway
