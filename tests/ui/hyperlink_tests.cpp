#include <gtest/gtest.h>

#include "support/qt_application.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QEnterEvent>
#include <QImage>
#include <QMap>
#include <QMouseEvent>
#include <QtTest/QTest>

#include "ui/hyperlink.h"
#include "ui/url_opener.h"

namespace pelmora::ui {
namespace {

const QColor kBlue(0, 0, 255);
const QColor kDarkRed(128, 0, 0);
const QColor kHover(0, 120, 215);

QApplication& application()
{
    return pelmora::testing::qtApplication();
}

// A link with a recording opener whose result the test chooses.
class HyperLinkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Away from the pointer: a link shown under it starts hovered.
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
        link.setGeometry(0, 0, 304, 32);
        link.setAddress(QStringLiteral("https://example.org/page"));
        link.setOpener([this](const QString& address) {
            opened.push_back(address);
            return openSucceeds;
        });
        link.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));
    }

    void enter()
    {
        QEnterEvent event(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
        QApplication::sendEvent(&link, &event);
    }
    void leave()
    {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(&link, &event);
    }

    // Pixels drawn exactly in a colour: the cores of the glyph strokes.
    int pixelsOf(const QColor& colour)
    {
        const QImage image = link.grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y).rgb() == colour.rgb();
        return count;
    }

    void expectDrawnIn(const QColor& colour)
    {
        EXPECT_EQ(link.textColour(), colour);
        EXPECT_GT(pixelsOf(colour), 0) << "text not painted in " << colour.name().toStdString();
        for (const QColor& other : {kBlue, kDarkRed, kHover}) {
            if (other != colour) {
                EXPECT_EQ(pixelsOf(other), 0) << "text painted in " << other.name().toStdString();
            }
        }
    }

    QApplication& app = application();  // before any widget
    HyperLinker link;
    std::vector<QString> opened;
    bool openSucceeds = true;
};

TEST_F(HyperLinkerTest, PlainLinkLooksAndBehavesAsALink)
{
    EXPECT_EQ(link.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(link.font().underline());
    expectDrawnIn(kBlue);
}

TEST_F(HyperLinkerTest, HoverSwitchesColourAndBack)
{
    enter();
    EXPECT_TRUE(link.isHovered());
    expectDrawnIn(kHover);
    leave();
    EXPECT_FALSE(link.isHovered());
    expectDrawnIn(kBlue);
}

TEST_F(HyperLinkerTest, OpensOnPressNotOnRelease)
{
    QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(150, 16));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front(), QStringLiteral("https://example.org/page"));
    QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(150, 16));
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(HyperLinkerTest, OtherButtonsOpenNothing)
{
    QTest::mousePress(&link, Qt::RightButton, {}, QPoint(150, 16));
    QTest::mousePress(&link, Qt::MiddleButton, {}, QPoint(150, 16));
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(link.isVisited());
}

TEST_F(HyperLinkerTest, VisitedColourFollowsTheLastPress)
{
    enter();
    QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(150, 16));
    EXPECT_TRUE(link.isVisited());
    expectDrawnIn(kHover);  // hover wins while the pointer is over it
    leave();
    expectDrawnIn(kDarkRed);

    openSucceeds = false;
    QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(150, 16));
    EXPECT_FALSE(link.isVisited());
    expectDrawnIn(kBlue);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(HyperLinkerTest, FailedOpenLeavesNormalColour)
{
    openSucceeds = false;
    QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(150, 16));
    EXPECT_EQ(opened.size(), 1u);
    expectDrawnIn(kBlue);
}

TEST_F(HyperLinkerTest, EmptyAddressDoesNothing)
{
    link.setAddress(QString());
    QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(150, 16));
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(link.isVisited());
    EXPECT_EQ(link.textColour(), kBlue);
}

struct CutCase {
    const char* commandLine;
    const char* prefix;
};

class BrowserCommandPrefixTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(BrowserCommandPrefixTest, CutsAtThePlaceholder)
{
    EXPECT_EQ(browserCommandPrefix(QString::fromUtf8(GetParam().commandLine)).toStdString(), GetParam().prefix);
}

INSTANTIATE_TEST_SUITE_P(Placeholders, BrowserCommandPrefixTest,
                         ::testing::Values(CutCase{R"("C:\Program Files\Web\web.exe" -nohome "%1")",
                                                   R"("C:\Program Files\Web\web.exe" -nohome )"},
                                           CutCase{R"(C:\web.exe %1)", R"(C:\web.exe )"},
                                           // the quoted form wins even where a bare %1 comes first
                                           CutCase{R"(C:\web.exe %1 -url "%1")", R"(C:\web.exe %1 -url )"},
                                           CutCase{R"(C:\web.exe -new "%1" %1)", R"(C:\web.exe -new )"},
                                           CutCase{R"("C:\web.exe")", R"("C:\web.exe")"},
                                           CutCase{R"(C:\web.exe "%2")", R"(C:\web.exe "%2")"}, CutCase{"", ""}));

// A classes root of a few keys; each test row changes one value.
struct RegistryCase {
    const char* name;
    qsizetype classNameLength;    // 0: ".htm" has no value
    qsizetype commandExtraChars;  // pads the command value; -1: no command key
    bool expectCommand;
};

class RegisteredBrowserTest : public ::testing::TestWithParam<RegistryCase> {};

TEST_P(RegisteredBrowserTest, ReadsBothValuesWithinTheLimit)
{
    const RegistryCase& row = GetParam();
    const QString className = QString(row.classNameLength, u'h');
    const QString commandStart = QStringLiteral(R"("C:\web.exe" )");
    QMap<QString, QString> classesRoot;
    if (row.classNameLength > 0)
        classesRoot[QStringLiteral(".htm")] = className;
    QString command;
    if (row.commandExtraChars >= 0) {
        command = commandStart + QString(row.commandExtraChars, u'x') + QStringLiteral(R"( "%1")");
        classesRoot[className + QStringLiteral(R"(\shell\open\command)")] = command;
    }
    const auto reader = [&](const QString& key) -> std::optional<QString> {
        if (!classesRoot.contains(key))
            return std::nullopt;
        return classesRoot.value(key);
    };

    const auto result = registeredBrowserCommandLine(reader, QStringLiteral("https://example.org/"));
    ASSERT_EQ(result.has_value(), row.expectCommand) << "command value has " << command.size() << " characters";
    if (row.expectCommand) {
        EXPECT_EQ(*result,
                  commandStart + QString(row.commandExtraChars, u'x') + QStringLiteral("  https://example.org/"));
    }
}

// Unpadded, the command value `"C:\web.exe"  "%1"` has 18 characters, so
// 241 extra make it exactly 259. The cut keeps the space before "%1" and one
// more goes before the address.
INSTANTIATE_TEST_SUITE_P(
    Limits, RegisteredBrowserTest,
    ::testing::Values(RegistryCase{"ordinary", 8, 0, true}, RegistryCase{"NoDocumentClass", 0, 0, false},
                      RegistryCase{"NoOpenCommand", 8, -1, false}, RegistryCase{"ClassNameAtLimit", 259, 0, true},
                      RegistryCase{"ClassNameTooLong", 260, 0, false}, RegistryCase{"CommandAtLimit", 8, 241, true},
                      RegistryCase{"CommandTooLong", 8, 242, false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelmora::ui
