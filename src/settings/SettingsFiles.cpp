#include "settings/SettingsFiles.h"

#include "platform/Ansi.h"
#include "platform/AtomicFile.h"
#include "platform/PrivateProfile.h"
#include "platform/Runtime.h"

#include <QFile>
#include <array>
#include <cctype>
#include <cstdio>

namespace pelloway {

namespace {

constexpr QByteArrayView Section = "EXEINI";
constexpr QByteArrayView TrustSection = "CERTIFICATES";
constexpr qsizetype DigestBytes = 32;

// A server's key in "trust.ini": "host:port", an IPv6 host without its brackets (a line
// starting with "[" would be a section header).
QByteArray TrustKey(const QString& server)
{
    QString key = server.trimmed();
    key.remove(u'[');
    key.remove(u']');
    return ToAnsi(key);
}

} // namespace

SettingsFiles::SettingsFiles(QString appFolder, QString serverFile)
    : m_appFolder(std::move(appFolder)), m_serverFile(std::move(serverFile))
{}

QString SettingsFiles::iniPath() const
{
    return AppendPath(m_appFolder, DataFolderSuffix + QStringLiteral("/ini.ini"));
}

QString SettingsFiles::idPassPath() const
{
    return AppendPath(m_appFolder, DataFolderSuffix + QStringLiteral("/iniIdPass.ini"));
}

QString SettingsFiles::trustPath() const
{
    return AppendPath(m_appFolder, DataFolderSuffix + QStringLiteral("/trust.ini"));
}

QString SettingsFiles::seenMailPath() const
{
    return AppendPath(m_appFolder, DataFolderSuffix + QStringLiteral("/uidl.txt"));
}

void SettingsFiles::LoadServerSettings(SharedValues& values) const
{
    QFile file(m_serverFile);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    for (QByteArray raw : content.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString line = FromAnsi(raw);
        const QString key = line.left(5);
        const QString value = line.mid(5, ServerValueLimit);
        if (key == u"SMTP=")
            values.SmtpServer = value;
        else if (key == u"POP3=")
            values.PopServer = value;
        else if (key == u"MAIL=")
            values.MailAddress = value;
        else if (key == u"APOP=")
            values.ApopFlag = RoundToInt16(TextValue(value));
    }
}

bool SettingsFiles::SaveServerSettings(const SharedValues& values) const
{
    QByteArray content;
    content += "SMTP=" + ToAnsi(values.SmtpServer) + "\r\n";
    content += "POP3=" + ToAnsi(values.PopServer) + "\r\n";
    content += "MAIL=" + ToAnsi(values.MailAddress) + "\r\n";
    content += "APOP=" + QByteArray::number(values.ApopFlag) + "\r\n";
    return WriteFileAtomically(m_serverFile, content);
}

int SettingsFiles::ReadHangUpChoice() const
{
    return GetPrivateProfileIntA(Section, "NUMBER", 0, iniPath());
}

int SettingsFiles::ReadIntervalMinutes() const
{
    return GetPrivateProfileIntA(Section, "NUMBER2", 0, iniPath());
}

bool SettingsFiles::WriteHangUpChoice(int choice) const
{
    return WritePrivateProfileStringA(Section, "NUMBER", choice == 1 ? "1" : "0", iniPath());
}

bool SettingsFiles::WriteIntervalText(const QString& text) const
{
    return WritePrivateProfileStringA(Section, "NUMBER2", ToAnsi(text), iniPath());
}

int SettingsFiles::ReadNewMailOnlyChoice() const
{
    return GetPrivateProfileIntA(Section, "NUMBER3", 0, iniPath());
}

bool SettingsFiles::WriteNewMailOnlyChoice(int choice) const
{
    // Off and never turned on: the file stays as it was.
    if (choice != 1 && GetPrivateProfileIntA(Section, "NUMBER3", -1, iniPath()) == -1)
        return true;
    return WritePrivateProfileStringA(Section, "NUMBER3", choice == 1 ? "1" : "0", iniPath());
}

std::pair<QString, QString> SettingsFiles::LoadSavedAccount() const
{
    // The password is in there: a file others could read is theirs no longer.
    if (RestrictToOwner(idPassPath())) {
        const QByteArray line = "pelloway: " + QFile::encodeName(idPassPath()) +
                                " could be read by other users; it is now readable by its owner only\n";
        std::fputs(line.constData(), stderr);
        std::fflush(stderr);
    }
    auto read = [this](QByteArrayView key) {
        std::array<char, 256> buffer;
        buffer.fill(' ');
        const int n = GetPrivateProfileStringA(Section, key, "", buffer, idPassPath());
        return n < 1 ? QString() : FromAnsi(QByteArrayView(buffer.data(), n));
    };
    QString id = read("NAME");
    QString password = read("NAME2");
    return {id, password};
}

bool SettingsFiles::StoreAccount(const QString& id, const QString& password, bool save) const
{
    const QString path = idPassPath();
    if (save) {
        return WritePrivateProfileStringA(Section, "NAME", ToAnsi(id), path, FileAccess::OwnerOnly) &&
               WritePrivateProfileStringA(Section, "NAME2", ToAnsi(password), path, FileAccess::OwnerOnly) &&
               WritePrivateProfileStringA(Section, "NAME3", "1", path, FileAccess::OwnerOnly);
    }
    return WritePrivateProfileStringA(Section, "NAME3", "0", path, FileAccess::OwnerOnly);
}

QByteArray SettingsFiles::TrustedCertificate(const QString& server) const
{
    std::array<char, 256> buffer;
    const int n = GetPrivateProfileStringA(TrustSection, TrustKey(server), "", buffer, trustPath());
    const QByteArray hex(buffer.data(), n);
    for (char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    }
    return hex.size() == DigestBytes * 2 ? QByteArray::fromHex(hex) : QByteArray();
}

bool SettingsFiles::TrustCertificate(const QString& server, const QByteArray& digest) const
{
    const QByteArray key = TrustKey(server);
    if (key.isEmpty() || key.contains('=') || key.startsWith(';') || digest.size() != DigestBytes)
        return false;
    return WritePrivateProfileStringA(TrustSection, key, digest.toHex(), trustPath(), FileAccess::OwnerOnly);
}

} // namespace pelloway
