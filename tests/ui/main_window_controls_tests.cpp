// The drop-down lists, the status lamp, the outer size and the XP-like look
// of the main window's controls.
#include "main_window_test_support.h"

#include <QAbstractItemView>
#include <QImage>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>

#include "ui/colour.h"
#include "ui/outer_size.h"

namespace pelmora::ui::testing {
namespace {

bool near(QColor actual, QColor expected, int tolerance = 3)
{
    return std::abs(actual.red() - expected.red()) <= tolerance
           && std::abs(actual.green() - expected.green()) <= tolerance
           && std::abs(actual.blue() - expected.blue()) <= tolerance;
}

std::string describe(QColor c)
{
    return c.name().toStdString();
}

// The row height a plain list of the same font and style gives.
int defaultRowHeight(const QComboBox& combo)
{
    QListView reference;
    reference.setFont(combo.view()->font());
    reference.setModel(combo.model());
    reference.setItemDelegate(new QStyledItemDelegate(&reference));
    return reference.sizeHintForRow(0);
}

TEST_F(ShownMainWindow, EveryListDropsBelowItsBoxWithinOneHundredSixtyPixels)
{
    const auto combos = window->findChildren<DropDownList*>();
    ASSERT_EQ(combos.size(), 6);
    for (DropDownList* combo : combos) {
        SCOPED_TRACE(combo->objectName().toStdString());
        EXPECT_FALSE(combo->isEditable());
        EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);

        combo->showPopup();
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
        const QRect box(combo->mapToGlobal(QPoint(0, 0)), combo->size());
        const QRect list = popup->frameGeometry();
        EXPECT_EQ(list.top(), box.bottom() + 1) << "the list opens right below the box";
        EXPECT_EQ(list.left(), box.left());
        EXPECT_LE(list.bottom() + 1 - box.top(), 160);

        const int row = defaultRowHeight(*combo) + 1;
        QAbstractItemView* view = combo->view();
        EXPECT_EQ(view->visualRect(combo->model()->index(0, 0)).height(), row);
        EXPECT_EQ(view->visualRect(combo->model()->index(1, 0)).top()
                      - view->visualRect(combo->model()->index(0, 0)).top(),
                  row);
        if (combo->count() * row > 160 - box.height()) {
            // COM1 to COM10 do not fit: the list takes all that is left and scrolls.
            EXPECT_GT(list.bottom() + 1 - box.top(), 160 - row);
            EXPECT_TRUE(view->verticalScrollBar()->isVisible());
        } else {
            const QRect last = view->visualRect(combo->model()->index(combo->count() - 1, 0));
            EXPECT_LE(last.bottom(), view->viewport()->height() - 1) << "every item is in view";
        }
        combo->hidePopup();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
}

TEST_F(ShownMainWindow, PickingFromTheListChangesTheSelection)
{
    DropDownList* combo = window->组合框_串口号;
    combo->showPopup();
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QAbstractItemView* view = combo->view();
    const QModelIndex com10 = combo->model()->index(9, 0);
    view->scrollTo(com10);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(com10).center());
    EXPECT_EQ(combo->currentIndex(), 9);
    EXPECT_EQ(combo->currentText(), QStringLiteral("COM10"));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

class CountingPaints : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct LampColour {
    Colour colour;
    QColor centre;  // invalid: the background shows through
};

TEST_F(ShownMainWindow, LampFillColoursRepaintAtOnce)
{
    StatusLamp* lamp = window->外形框_串口状态;
    QApplication::processEvents();
    CountingPaints counter;
    lamp->installEventFilter(&counter);
    const QColor background = lamp->palette().color(QPalette::Window);
    for (LampColour step : {LampColour{kRed, Qt::red}, LampColour{kGreen, QColor(0, 255, 0)},
                            LampColour{kNoColour, QColor()}, LampColour{kGreen, QColor(0, 255, 0)}}) {
        const int before = counter.paints;
        lamp->setFillColour(step.colour);
        EXPECT_GT(counter.paints, before) << "no repaint before returning to the event loop";
        EXPECT_EQ(lamp->fillColour(), step.colour);

        const QImage image = lamp->grab().toImage();
        const QColor centre = image.pixelColor(16, 16);
        const QColor expected = step.centre.isValid() ? step.centre : background;
        EXPECT_TRUE(near(centre, expected)) << describe(centre) << " for colour " << step.colour;
        // The black ring at the top and on the left, the corners outside it untouched.
        EXPECT_LT(qGray(image.pixel(16, 0)), 80);
        EXPECT_LT(qGray(image.pixel(0, 16)), 80);
        EXPECT_TRUE(near(image.pixelColor(1, 1), background)) << describe(image.pixelColor(1, 1));
    }
}

TEST_F(ShownMainWindow, LampReportsLeftPressesOnly)
{
    QSignalSpy pressed(window->外形框_串口状态, &StatusLamp::pressed);
    QTest::mousePress(window->外形框_串口状态, Qt::RightButton, {}, QPoint(16, 16));
    QTest::mouseRelease(window->外形框_串口状态, Qt::RightButton, {}, QPoint(16, 16));
    EXPECT_EQ(pressed.count(), 0);
    QTest::mouseClick(window->外形框_串口状态, Qt::LeftButton, {}, QPoint(16, 16));
    EXPECT_EQ(pressed.count(), 1);
}

TEST_F(ShownMainWindow, OuterHeightKeepsTopLeftAndWidth)
{
    window->move(40, 60);
    QApplication::processEvents();
    const QPoint topLeft = window->frameGeometry().topLeft();
    for (int height : {680, 530, 600, 680}) {
        window->setOuterHeight(height);
        QApplication::processEvents();
        EXPECT_EQ(window->frameGeometry().size(), QSize(771, height));
        EXPECT_EQ(window->frameGeometry().topLeft(), topLeft);
    }
}

TEST(OuterSizeKeeper, CentresWithIntegerDivision)
{
    struct Case {
        QSize screen;
        QPoint expected;
    };
    for (Case c : {Case{{1280, 1024}, {254, 247}}, Case{{1025, 769}, {127, 119}}, Case{{800, 800}, {14, 135}},
                   Case{{640, 480}, {-65, -25}}}) {
        EXPECT_EQ(OuterSizeKeeper::centredTopLeft(c.screen, {771, 530}), c.expected)
            << c.screen.width() << "x" << c.screen.height();
    }
}

TEST_F(ShownMainWindow, CentredOnThePrimaryScreenByOuterSize)
{
    window->centreOnPrimaryScreen();
    QApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->frameGeometry().topLeft(),
              screen.topLeft() + QPoint((screen.width() - 771) / 2, (screen.height() - 530) / 2));
}

// The XP-like frames, sampled where each control draws its edge.
struct FramePixel {
    const char* meaning;
    QWidget* (*pick)(MainWindow&);
    QColor colour;
};

const QColor kEditFrame(123, 158, 189);
const QColor kGroupFrame(191, 184, 191);

TEST_F(ShownMainWindow, XpStyleFramesInSchemeOneColours)
{
    const FramePixel samples[] = {
        {"address_box", [](MainWindow& w) -> QWidget* { return w.编辑框_地址码; }, kEditFrame},
        {"message_box", [](MainWindow& w) -> QWidget* { return w.编辑框_数据发送区; }, kEditFrame},
        {"debug_box", [](MainWindow& w) -> QWidget* { return w.编辑框3; }, kEditFrame},
        {"port_choice", [](MainWindow& w) -> QWidget* { return w.组合框_串口号; }, kEditFrame},
        {"pager_frame", [](MainWindow& w) -> QWidget* { return w.分组框_呼机设置; }, kGroupFrame},
        {"send_frame", [](MainWindow& w) -> QWidget* { return w.分组框_数据发送区; }, kGroupFrame},
    };
    for (const FramePixel& sample : samples) {
        QWidget* control = sample.pick(*window);
        const QImage image = control->grab().toImage();
        const QColor left = image.pixelColor(0, image.height() / 2);
        const QColor right = image.pixelColor(image.width() - 1, image.height() / 2);
        EXPECT_TRUE(near(left, sample.colour)) << sample.meaning << " left edge " << describe(left);
        EXPECT_TRUE(near(right, sample.colour)) << sample.meaning << " right edge " << describe(right);
    }
}

// Hover, press and focus each look different from the resting button; the
// same holds for the arrow of a drop-down list.
TEST_F(ShownMainWindow, XpStyleShowsHoverPressAndFocus)
{
    focus(window->编辑框_数据发送区);
    for (QWidget* control :
         {static_cast<QWidget*>(window->按钮_发送数据), static_cast<QWidget*>(window->组合框_响声)}) {
        SCOPED_TRACE(control->objectName().toStdString());
        const QImage resting = control->grab().toImage();

        control->setAttribute(Qt::WA_UnderMouse, true);
        EXPECT_NE(control->grab().toImage(), resting) << "hover";
        control->setAttribute(Qt::WA_UnderMouse, false);

        if (auto* button = qobject_cast<QPushButton*>(control)) {
            button->setDown(true);
            EXPECT_NE(button->grab().toImage(), resting) << "pressed";
            button->setDown(false);
        }
        focus(control);
        EXPECT_NE(control->grab().toImage(), resting) << "focus";
        focus(window->编辑框_数据发送区);
        EXPECT_EQ(control->grab().toImage(), resting) << "back at rest";
    }
}

TEST_F(ShownMainWindow, SelectionIsHiddenWhileTheBoxHasNoFocus)
{
    window->编辑框_数据发送区->setPlainText(QStringLiteral("MMMMMMMM MMMMMMMM"));
    for (QWidget* box :
         {static_cast<QWidget*>(window->编辑框_数据发送区), static_cast<QWidget*>(window->编辑框_地址码)}) {
        SCOPED_TRACE(box->objectName().toStdString());
        focus(box);
        if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
            plain->selectAll();
        else
            window->编辑框_地址码->selectAll();
        const QColor highlight = box->palette().color(QPalette::Active, QPalette::Highlight);
        auto highlighted = [&] {
            const QImage image = box->grab().toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += near(image.pixelColor(x, y), highlight, 8) ? 1 : 0;
            return count;
        };
        EXPECT_GT(highlighted(), 20) << "a focused box shows its selection";
        focus(window->按钮_发送数据);
        EXPECT_EQ(highlighted(), 0);
    }
}

}  // namespace
}  // namespace pelmora::ui::testing
