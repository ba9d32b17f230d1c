#include "ui/about_window.h"

#include <QKeyEvent>
#include <QLabel>

#include "ui/named_control.h"
#include "ui/outer_size.h"
#include "ui/url_opener.h"

namespace pelmora::ui {
namespace {

// CR LF as the window layout keeps it; the label shows it as lines.
constexpr char16_t kAuthorText[] = u"此程序由 Tesvarin 编写发布\r\n\r\n想要查看关于此程序说明和更多原创资料\r\n请访问";
// Two public pages that explain the paging protocol to an operator.
constexpr char16_t kFirstAddress[] = u"https://en.wikipedia.org/wiki/POCSAG";
constexpr char16_t kSecondAddress[] = u"https://zh.wikipedia.org/wiki/POCSAG";

// A dialog that belongs to no window: on X11 the toolkit then makes its
// invisible group leader the owner, so the taskbar shows no entry for it.
constexpr Qt::WindowFlags kAboutWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                              | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                              | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

HyperLinker* makeLink(QWidget* parent, const char16_t* name, const QRect& place, const char16_t* address,
                      const HyperLinker::Opener& opener)
{
    auto* link = placeNamedControl<HyperLinker>(parent, name, place);
    link->setAddress(QString::fromUtf16(address));
    link->setOpener(opener);
    return link;
}

}  // namespace

AboutWindow::AboutWindow(HyperLinker::Opener opener) : QDialog(nullptr, kAboutWindowFlags)
{
    setWindowTitle(QStringLiteral("关于"));
    setWindowModality(Qt::ApplicationModal);
    setSizeGripEnabled(false);
    if (!opener)
        opener = openWebAddress;

    // Created bottom first: a later sibling is drawn above an earlier one.
    标签1 = placeNamedControl<QLabel>(this, u"标签1", {24, 40, 320, 136});
    标签1->setTextFormat(Qt::PlainText);
    标签1->setText(QString::fromUtf16(kAuthorText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    标签1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    标签1->setWordWrap(true);
    QPalette labelColours = 标签1->palette();
    labelColours.setColor(QPalette::WindowText, Qt::black);
    标签1->setPalette(labelColours);

    超级链接框1 = makeLink(this, u"超级链接框1", {32, 112, 304, 32}, kFirstAddress, opener);
    超级链接框2 = makeLink(this, u"超级链接框2", {32, 136, 304, 32}, kSecondAddress, opener);

    auto* outerSize = new OuterSizeKeeper(this, kAboutOuterSize);
    outerSize->centreOnPrimaryScreen();
}

void AboutWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        reject();
        return;
    }
    // Enter, F1 and every other key do nothing here (QDialog would look for a
    // default button on Enter).
    event->accept();
}

int execAboutWindow(HyperLinker::Opener opener)
{
    AboutWindow window(std::move(opener));
    return window.exec();
}

}  // namespace pelmora::ui
