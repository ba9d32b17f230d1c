#include "ui/url_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace pelmora::ui {

bool openWebAddress(const QString& address)
{
    if (address.isEmpty())
        return false;
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid() && QDesktopServices::openUrl(url))
        return true;
    return startRegisteredBrowser(address);
}

QString browserCommandPrefix(const QString& commandLine)
{
    qsizetype cut = commandLine.indexOf(QStringLiteral("\"%1\""));
    if (cut < 0)
        cut = commandLine.indexOf(QStringLiteral("%1"));
    return cut < 0 ? commandLine : commandLine.left(cut);
}

std::optional<QString> registeredBrowserCommandLine(const ClassesRootReader& readClassesRootDefault,
                                                    const QString& address)
{
    auto read = [&](const QString& subKey) -> std::optional<QString> {
        auto value = readClassesRootDefault(subKey);
        // A cut-off value would name the wrong program: refuse it.
        if (!value || value->size() > kMaxRegistryValueChars)
            return std::nullopt;
        return value;
    };
    const auto documentClass = read(QStringLiteral(".htm"));
    if (!documentClass || documentClass->isEmpty())
        return std::nullopt;
    const auto command = read(*documentClass + QStringLiteral("\\shell\\open\\command"));
    if (!command)
        return std::nullopt;
    return browserCommandPrefix(*command) + u' ' + address;
}

}  // namespace pelmora::ui
