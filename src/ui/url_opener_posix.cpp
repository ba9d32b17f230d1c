#include <QProcess>
#include <QStringList>

#include "ui/url_opener.h"

namespace pelmora::ui {

// Debian's alternatives stand in for the registry's browser entry: the first
// is the administrator's choice, the second also honours $BROWSER.
bool startRegisteredBrowser(const QString& address)
{
    if (address.isEmpty())
        return false;
    for (const QString& browser : {QStringLiteral("x-www-browser"), QStringLiteral("sensible-browser")}) {
        if (QProcess::startDetached(browser, {address}))
            return true;
    }
    return false;
}

}  // namespace pelmora::ui
