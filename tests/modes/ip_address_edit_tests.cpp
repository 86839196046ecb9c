// The IP-address field shared by the mode and port-mapping dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "ip_address_edit.h"

namespace cofralin {
namespace {

using IpAddressEditTest = ::testing::Test;

TEST_F(IpAddressEditTest, SetTextFillsFieldsAndBlanksReadAsZero) {
    IpAddressEdit edit;
    EXPECT_TRUE(edit.isBlank());
    EXPECT_EQ(edit.text(), "0.0.0.0");

    edit.setText("172.26.0.1");
    EXPECT_EQ(edit.text(), "172.26.0.1");
    EXPECT_EQ(edit.field(3)->text(), "1");

    // Zero-padded addresses from the router's listings read as numbers.
    edit.setText("192.168.001.010");
    EXPECT_EQ(edit.text(), "192.168.1.10");

    edit.setText("10..7");
    EXPECT_EQ(edit.field(1)->text(), "");
    EXPECT_EQ(edit.field(3)->text(), "");
    EXPECT_EQ(edit.text(), "10.0.7.0");

    edit.setText("300.1.2.3");
    EXPECT_EQ(edit.text(), "255.1.2.3");

    edit.clear();
    EXPECT_TRUE(edit.isBlank());
}

TEST_F(IpAddressEditTest, TypingEmitsFieldChangedAndSetTextDoesNot) {
    IpAddressEdit edit;
    edit.show();
    QSignalSpy changed(&edit, &IpAddressEdit::fieldChanged);
    edit.setText("1.2.3.4");
    EXPECT_EQ(changed.count(), 0);

    edit.field(3)->setFocus();
    edit.field(3)->selectAll();
    QTest::keyClicks(edit.field(3), "77");
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(edit.text(), "1.2.3.77");
}

TEST_F(IpAddressEditTest, FieldsAcceptOnlyZeroTo255AndMoveOnAsTyped) {
    IpAddressEdit edit;
    edit.show();
    QApplication::setActiveWindow(&edit);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    edit.field(0)->setFocus();
    // Three digits move on to the next field; a dot ends a shorter field.
    QTest::keyClicks(edit.field(0), "192");
    ASSERT_EQ(QApplication::focusWidget(), edit.field(1));
    QTest::keyClicks(edit.field(1), "168.");
    ASSERT_EQ(QApplication::focusWidget(), edit.field(2));
    QTest::keyClicks(edit.field(2), "5.");
    QTest::keyClicks(edit.field(3), "77");
    EXPECT_EQ(edit.text(), "192.168.5.77");

    edit.clear();
    QTest::keyClicks(edit.field(0), "999");
    EXPECT_EQ(edit.field(0)->text(), "99");
    QTest::keyClicks(edit.field(1), "25a6");
    EXPECT_EQ(edit.field(1)->text(), "25");
}

TEST_F(IpAddressEditTest, DisablingDisablesEveryField) {
    IpAddressEdit edit;
    edit.setEnabled(false);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(edit.field(i)->isEnabled());
}

}  // namespace
}  // namespace cofralin
