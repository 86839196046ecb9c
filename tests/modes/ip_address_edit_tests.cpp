// The IP-address field shared by the mode and port-mapping dialogs, driven by
// real key and mouse events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>

#include "ip_address_edit.h"

namespace cofralin {
namespace {

// The field between two plain edits in an active window, as in a dialog.
class IpAddressEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        before = new QLineEdit(&window);
        edit = new IpAddressEdit(&window);
        after = new QLineEdit(&window);
        layout->addWidget(before);
        layout->addWidget(edit);
        layout->addWidget(after);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QLineEdit* field(int index) const { return edit->field(index); }
    QWidget* focused() const { return QApplication::focusWidget(); }
    // Each key goes to the widget that has the focus when it is pressed.
    void type(const char* keys) {
        for (const char* key = keys; *key; ++key) QTest::keyClick(focused(), *key);
    }
    // A click at the horizontal position `x` of field `index`.
    void clickField(int index, int x) {
        QTest::mouseClick(field(index), Qt::LeftButton, {}, QPoint(x, field(index)->height() / 2));
    }

    QWidget window;
    QLineEdit* before = nullptr;
    IpAddressEdit* edit = nullptr;
    QLineEdit* after = nullptr;
};

TEST_F(IpAddressEditTest, SetTextFillsFieldsAndBlanksReadAsZero) {
    edit->clear();
    EXPECT_TRUE(edit->isBlank());
    EXPECT_EQ(edit->text(), "0.0.0.0");

    edit->setText("172.26.0.1");
    EXPECT_EQ(edit->text(), "172.26.0.1");
    EXPECT_EQ(field(3)->text(), "1");

    // Zero-padded addresses from the router's listings read as numbers.
    edit->setText("192.168.001.010");
    EXPECT_EQ(edit->text(), "192.168.1.10");

    edit->setText("10..7");
    EXPECT_EQ(field(1)->text(), "");
    EXPECT_EQ(field(3)->text(), "");
    EXPECT_EQ(edit->text(), "10.0.7.0");

    edit->setText("300.1.2.3");
    EXPECT_EQ(edit->text(), "255.1.2.3");
}

// The address typed is the address given, wherever the caret was in the
// field that showed "0": clicked anywhere on it, tabbed into, or placed
// before or after the digit. Every digit is one change.
TEST_F(IpAddressEditTest, TypingAnAddressOverZerosGivesThatAddressFromEveryCaretPosition) {
    struct Start {
        const char* how;
        std::function<void()> enter;
    };
    const Start starts[] = {
        {"click left of the digit", [&] { clickField(0, 2); }},
        {"click on the digit", [&] { clickField(0, field(0)->width() / 2); }},
        {"click right of the digit", [&] { clickField(0, field(0)->width() - 2); }},
        {"click on the frame beside the digit",
         [&] { QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(1, edit->height() / 2)); }},
        {"tab from the edit before",
         [&] {
             before->setFocus();
             QTest::keyClick(before, Qt::Key_Tab);
         }},
        {"caret before the digit",
         [&] {
             clickField(0, 2);
             field(0)->setCursorPosition(0);
         }},
        {"caret after the digit",
         [&] {
             clickField(0, 2);
             field(0)->setCursorPosition(1);
         }},
    };
    for (const Start& start : starts) {
        SCOPED_TRACE(start.how);
        edit->setText("0.0.0.0");
        after->setFocus();
        start.enter();
        ASSERT_EQ(focused(), field(0));
        QSignalSpy changed(edit, &IpAddressEdit::fieldChanged);
        type("192.168.1.50");
        EXPECT_EQ(edit->text(), "192.168.1.50");
        EXPECT_EQ(changed.count(), 9);
        EXPECT_EQ(focused(), field(3));
    }
}

TEST_F(IpAddressEditTest, FieldsMoveOnAsTypedAndRefuseWhatIsNoFieldValue) {
    struct Case {
        const char* shown;  // before typing, into the first field clicked
        const char* keys;
        const char* text;  // afterwards
        int focusedField;
    };
    const Case cases[] = {
        // A dot or a blank moves on and selects; right after a move it is absorbed.
        {"1.2.3.4", "10.20 30", "10.20.30.4", 2},
        {"1.2.3.4", "255..7", "255.7.3.4", 1},
        {"1.2.3.4", ".", "1.2.3.4", 0},  // all selected: the dot of the field before
        // The third typed digit moves on only when the field then holds three.
        {"1.2.3.4", "123", "123.2.3.4", 1},
        {"1.2.3.4", "12", "12.2.3.4", 0},
        // Over 255 is refused, not wrapped; so is a fourth digit.
        {"1.2.3.4", "256", "25.2.3.4", 0},
        {"1.2.3.4", "2557", "255.7.3.4", 1},
        {"1.2.3.4", "99", "99.2.3.4", 0},
        {"1.2.3.4", "a-b", "1.2.3.4", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        edit->setText(c.shown);
        after->setFocus();
        clickField(0, 2);
        type(c.keys);
        EXPECT_EQ(edit->text(), c.text);
        EXPECT_EQ(focused(), field(c.focusedField));
    }

    // Digits inserted into a value already there never move on.
    edit->setText("1.2.3.4");
    after->setFocus();
    clickField(0, 2);
    QTest::keyClick(focused(), Qt::Key_End);
    type("23");
    EXPECT_EQ(edit->text(), "123.2.3.4");
    EXPECT_EQ(focused(), field(0));
    // The moved-to field is selected: typing replaces it.
    type(" 9");
    EXPECT_EQ(edit->text(), "123.9.3.4");
}

TEST_F(IpAddressEditTest, BackspaceLeftAndRightMoveBetweenFieldsTabLeavesTheControl) {
    edit->setText("10.20.30.40");
    clickField(1, 2);
    QTest::keyClick(focused(), Qt::Key_Backspace);  // empties the selected field
    EXPECT_EQ(field(1)->text(), "");
    QTest::keyClick(focused(), Qt::Key_Backspace);  // in an empty field: back
    ASSERT_EQ(focused(), field(0));
    EXPECT_EQ(field(0)->cursorPosition(), 2);
    EXPECT_FALSE(field(0)->hasSelectedText());
    QTest::keyClick(focused(), Qt::Key_Right);
    EXPECT_EQ(focused(), field(1));
    QTest::keyClick(focused(), Qt::Key_Left);
    EXPECT_EQ(focused(), field(0));

    // Tab and Shift+Tab pass the control as one; tabbing in selects the first field.
    clickField(2, 2);
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), after);
    clickField(2, 2);
    QTest::keyClick(focused(), Qt::Key_Backtab);
    EXPECT_EQ(focused(), before);
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), field(0));
    EXPECT_EQ(field(0)->selectedText(), "10");
}

TEST_F(IpAddressEditTest, PastingADottedAddressFillsAllFourFields) {
    edit->setText("1.2.3.4");
    clickField(1, 2);
    QSignalSpy changed(edit, &IpAddressEdit::fieldChanged);
    QApplication::clipboard()->setText(QStringLiteral(" 192.168.001.50 "));
    QTest::keySequence(focused(), QKeySequence::Paste);
    EXPECT_EQ(edit->text(), "192.168.1.50");
    EXPECT_EQ(changed.count(), 1);

    // What is no address and no number for the field changes nothing.
    clickField(2, 2);
    for (const char* refused : {"10.1.1.256", "10.1.1", "abc", "300"}) {
        SCOPED_TRACE(refused);
        QApplication::clipboard()->setText(QString::fromLatin1(refused));
        QTest::keySequence(focused(), QKeySequence::Paste);
        EXPECT_EQ(edit->text(), "192.168.1.50");
    }
    EXPECT_EQ(changed.count(), 1);
    // A number goes into the field as typed.
    QApplication::clipboard()->setText(QStringLiteral("7"));
    QTest::keySequence(focused(), QKeySequence::Paste);
    EXPECT_EQ(edit->text(), "192.168.7.50");
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(IpAddressEditTest, SetTextEmitsNothingAndARefusedMarkLastsUntilTheNextChange) {
    QSignalSpy changed(edit, &IpAddressEdit::fieldChanged);
    edit->setText("255.0.255.0");
    EXPECT_EQ(changed.count(), 0);

    after->setFocus();
    MarkRefusedField(*edit);
    EXPECT_TRUE(IsMarkedRefused(*edit));
    EXPECT_EQ(focused(), field(0));
    EXPECT_EQ(field(0)->selectedText(), "255");
    clickField(3, 2);
    EXPECT_TRUE(IsMarkedRefused(*edit));  // moving is no change
    type("255");
    EXPECT_FALSE(IsMarkedRefused(*edit));

    MarkRefusedField(*before);
    EXPECT_TRUE(IsMarkedRefused(*before));
    EXPECT_EQ(focused(), before);
    QTest::keyClicks(before, "8");
    EXPECT_FALSE(IsMarkedRefused(*before));
}

TEST_F(IpAddressEditTest, DisablingDisablesEveryField) {
    edit->setEnabled(false);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(field(i)->isEnabled());
}

}  // namespace
}  // namespace cofralin
