#pragma once

#include "ui/address_edit.h"
#include "ui/drop_down_list.h"
#include "ui/status_lamp.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <memory>

namespace pelmora::link {
class SerialPort;
}

namespace pelmora::ui {

class OuterSizeKeeper;

inline constexpr int kMainWindowWidth = 771;
inline constexpr int kCollapsedHeight = 530;
inline constexpr int kExpandedHeight = 680;

// The tips text exactly as the layout holds it, CR LF line breaks included.
inline const QString kTipsText = QStringLiteral("数字机只能输入:\r\n\"0\"-\"9\"以及\"A\"-\"F\"\r\n\r\nA -> 换行   B -> "
                                                "\"U\"\r\nC -> 空格   D -> \"-\"\r\nE -> \"[\"    F -> \"]\"");

// The operator's working screen: a fixed layout of the serial settings, the
// pager parameters, the tips, the data send area and the debug panel below
// them. The members carry the controls' names, which are also their object
// names. The handlers are bound from outside (the application layer).
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Outer size, frame included. Changing the height keeps the frame's
    // top-left corner and the width.
    void setOuterHeight(int height);
    QSize outerSize() const;
    void centreOnPrimaryScreen();

    // An edit box's text as the link sends it: line breaks as CR LF.
    static QString textOf(const QPlainTextEdit* box);
    static QString textOf(const QLineEdit* box);

    // The controls in their Tab order.
    QList<QWidget*> tabCycle() const;

    QGroupBox* 分组框_串口设置 = nullptr;
    QLabel* 标签_串口号 = nullptr;
    DropDownList* 组合框_串口号 = nullptr;
    QLabel* 标签_波特率 = nullptr;
    DropDownList* 组合框_波特率 = nullptr;
    StatusLamp* 外形框_串口状态 = nullptr;
    QPushButton* 按钮_打开串口 = nullptr;
    QGroupBox* 分组框_呼机设置 = nullptr;
    QLabel* 标签_相位 = nullptr;
    DropDownList* 组合框_相位 = nullptr;
    QLabel* 标签_速率 = nullptr;
    DropDownList* 组合框_速率 = nullptr;
    QLabel* 标签_呼机类型 = nullptr;
    DropDownList* 组合框_呼机类型 = nullptr;
    QLabel* 标签_响声 = nullptr;
    DropDownList* 组合框_响声 = nullptr;
    QLabel* 标签_地址码 = nullptr;
    AddressEdit* 编辑框_地址码 = nullptr;
    QGroupBox* 分组框_Tips = nullptr;
    QLabel* 标签_Tips = nullptr;
    QGroupBox* 分组框_数据发送区 = nullptr;
    QPlainTextEdit* 编辑框_数据发送区 = nullptr;
    QPushButton* 按钮_调试 = nullptr;
    QPushButton* 按钮_关于 = nullptr;
    QPushButton* 按钮_发送数据 = nullptr;
    QLabel* 标签_pocsag = nullptr;
    QGroupBox* 分组框_调试信息 = nullptr;
    QPlainTextEdit* 编辑框3 = nullptr;
    std::unique_ptr<link::SerialPort> 端口1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ownsWidget(const QObject* object) const;
    bool takesEscapeFrom(const QObject* object) const;

    OuterSizeKeeper* outerSize_ = nullptr;
};

}  // namespace pelmora::ui
