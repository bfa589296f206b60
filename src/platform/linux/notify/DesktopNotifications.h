#pragma once
// Notifications through whatever service owns org.freedesktop.Notifications on the session
// bus (GNOME Shell, KDE Plasma, dunst, mako, xfce4-notifyd, ...). Every call is asynchronous:
// the service's capabilities are asked first so that the body is escaped for a service that
// reads markup, then the notification is sent; it replaces the one this object sent before.
// No bus or no service: the calls fail quietly.

#include "platform/Notifications.h"

#include <QDBusConnection>
#include <QObject>

namespace pelloway {

class DesktopNotifications final : public QObject, public Notifications
{
    Q_OBJECT
public:
    explicit DesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    void Notify(const QString& summary, const QString& body) override;

    // Escapes the characters a markup-reading service would take as markup.
    static QString EscapeMarkup(const QString& text);

signals:
    // The service took a notification (tests wait for it).
    void notified(uint id);

private:
    void send(const QString& summary, const QString& body, bool markup);

    QDBusConnection m_bus;
    uint m_lastId = 0;
};

} // namespace pelloway
