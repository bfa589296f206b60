#include "platform/BannerStrip.h"

#include <QLabel>

namespace pelloway {

void PaintedBannerStrip::MoveCaption(int left)
{
    m_caption->move(left, m_caption->y());
}

} // namespace pelloway
