#include "handlers_test_support.h"

#include <QTest>

#include <atomic>
#include <thread>

namespace pelmora::app::testing {
namespace {

struct SendCase {
    const char* name;
    int phase = 0;
    int function = 0;
    int rate = 0;
    int pagerType = 0;
    const char16_t* address = u"1234567";
    const char16_t* message = u"123";
    const char* expectedHex;
};

class SendPage : public WindowOnPty {
protected:
    void setControls(const SendCase& c)
    {
        window->组合框_相位->setCurrentIndex(c.phase);
        window->组合框_响声->setCurrentIndex(c.function);
        window->组合框_速率->setCurrentIndex(c.rate);
        window->组合框_呼机类型->setCurrentIndex(c.pagerType);
        window->编辑框_地址码->setText(QString::fromUtf16(c.address));
        window->编辑框_数据发送区->setPlainText(QString::fromUtf16(c.message));
    }
};

TEST_F(SendPage, EveryCaseArrivesByteExact)
{
    const SendCase cases[] = {
        {"start-up page", 0, 0, 0, 0, u"1234567", u"123", "23 50 31 32 33 34 35 36 37 31 48 4E 31 32 33 24"},
        {"inverted, 4, 512, Chinese", 1, 3, 1, 1, u"1234567", u"数据",
         "23 4E 31 32 33 34 35 36 37 34 4C 54 CA FD BE DD 24"},
        {"empty address", 0, 0, 0, 0, u"", u"123", "23 50 31 48 4E 31 32 33 24"},
        {"empty message", 0, 0, 0, 0, u"1234567", u"", "23 50 31 32 33 34 35 36 37 31 48 4E 24"},
        {"both empty", 0, 0, 0, 0, u"", u"", "23 50 31 48 4E 24"},
        {"line break", 0, 0, 0, 0, u"", u"12\n34", "23 50 31 48 4E 31 32 0D 0A 33 34 24"},
        {"trailing line break", 0, 0, 0, 0, u"", u"9\n", "23 50 31 48 4E 39 0D 0A 24"},
        {"marks inside the texts", 0, 1, 0, 0, u"1#2", u"a$b#", "23 50 31 23 32 32 48 4E 61 24 62 23 24"},
        {"lower case a-f", 0, 2, 0, 0, u"7", u"abcdef", "23 50 37 33 48 4E 61 62 63 64 65 66 24"},
        {"address with dash", 0, 0, 1, 1, u"123-45", u"", "23 50 31 32 33 2D 34 35 31 4C 54 24"},
        {"nothing selected", -1, -1, -1, -1, u"1", u"", "23 31 24"},
    };
    openPort();
    for (const SendCase& c : cases) {
        setControls(c);
        window->按钮_发送数据->click();
        EXPECT_EQ(hex(pty.readMaster(std::string::npos, std::chrono::milliseconds(300))), c.expectedHex) << c.name;
    }
}

TEST_F(SendPage, TypedEnterGoesOutAsCrLf)
{
    openPort();
    window->编辑框_地址码->clear();
    window->编辑框_数据发送区->setFocus();
    QTest::keyClicks(window->编辑框_数据发送区, QStringLiteral("12"));
    QTest::keyClick(window->编辑框_数据发送区, Qt::Key_Return);
    QTest::keyClicks(window->编辑框_数据发送区, QStringLiteral("34"));
    window->按钮_发送数据->click();
    EXPECT_EQ(hex(pty.readMaster(13)), "23 50 31 48 4E 31 32 0D 0A 33 34 24");
}

TEST_F(SendPage, LongMessagesArriveWholeWithASlowReader)
{
    openPort();
    for (const int characters : {5000, 1 << 20}) {
        QString message;
        message.reserve(characters);
        for (int i = 0; i < characters; ++i)
            message += (i % 3 == 0) ? QChar(u'数') : QChar(u'0' + i % 10);
        window->编辑框_地址码->setText(QStringLiteral("1"));
        window->编辑框_数据发送区->setPlainText(message);
        std::string expected = "#P11HN";
        for (int i = 0; i < characters; ++i)
            expected += (i % 3 == 0) ? std::string("\xCA\xFD") : std::string(1, char('0' + i % 10));
        expected += '$';

        // The reader starts late and reads in small bites, so the sender has
        // to wait for the line again and again.
        std::string received;
        std::thread reader([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            while (received.size() < expected.size()) {
                const std::string chunk = pty.readMaster(expected.size() - received.size(), std::chrono::seconds(10));
                if (chunk.empty())
                    break;
                received += chunk;
            }
        });
        window->按钮_发送数据->click();
        reader.join();
        ASSERT_EQ(received.size(), expected.size()) << characters << " characters";
        EXPECT_TRUE(received == expected) << characters << " characters";
    }
}

TEST_F(SendPage, ClosedPortWritesNothingShowsNothingChangesNothing)
{
    setControls({"start-up page", 0, 0, 0, 0, u"1234567", u"123", ""});
    const auto boxes = runAcceptingBoxes([&] { window->按钮_发送数据->click(); });
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(pty.readMaster(), "");
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("打开串口"));
    EXPECT_EQ(window->外形框_串口状态->fillColour(), ui::kNoColour);
    EXPECT_EQ(window->编辑框3->toPlainText(), QStringLiteral("请在源码内打开调试功能"));
    EXPECT_EQ(window->编辑框_数据发送区->toPlainText(), QStringLiteral("123"));
}

TEST_F(SendPage, CharacterWithoutGbkCodeSendsNothingAndIsNamed)
{
    openPort();
    struct Row {
        const char16_t* address;
        const char16_t* message;
        QString expectedReason;
    };
    const Row rows[] = {
        {u"1234567", u"ok 😀", QStringLiteral("数据发送区第 4 个字符“😀”（U+1F600）没有 GBK 编码")},
        {u"12\u20A9", u"123", QStringLiteral("地址码第 3 个字符“\u20A9”（U+20A9）没有 GBK 编码")},
    };
    for (const Row& row : rows) {
        window->编辑框_地址码->setText(QString::fromUtf16(row.address));
        window->编辑框_数据发送区->setPlainText(QString::fromUtf16(row.message));
        const auto boxes = runAcceptingBoxes([&] { window->按钮_发送数据->click(); });
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, QStringLiteral("信息："));
        EXPECT_EQ(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(boxes[0].informativeText, row.expectedReason);
        EXPECT_EQ(pty.readMaster(), "") << "nothing at all may reach the port";
    }
}

}  // namespace
}  // namespace pelmora::app::testing
