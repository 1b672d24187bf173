// Buttons, check boxes, option buttons and the clickable boxes: which actions run the handlers.
#include "controls/color.h"
#include "controls/controls.h"
#include "controls/focus.h"
#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>
#include <QTest>
#include <memory>

using namespace controls;

namespace {

// A point on the face of a button: inside the bevel, above the centred caption.
const QPoint kFacePoint(5, 5);

} // namespace

class ControlsButtons : public QObject {
    Q_OBJECT
private slots:
    void commandButtonClicksRunHandlerOnlyWhenEnabled();
    void commandButtonPressRunsHandlerEvenWhenDisabled();
    void commandButtonPaintsItsBackColor_data();
    void commandButtonPaintsItsBackColor();
    void keptOutOfFocusButtonLeavesFocusAlone();
    void commandButtonReportsMouseMoves();
    void commandButtonAmpersandIsNoAccessKey();
    void checkBoxFromCode();
    void checkBoxUserClicks();
    void optionButtonsFromCode();
    void optionButtonUserClicks();
    void optionGroupsSharingAParentStayApart();
    void destroyedOptionButtonLeavesItsGroup();
    void groupEndingBeforeItsButtons();
    void pictureBoxAndLabelReportLeftClicks();
    void pictureBoxPaintsItsBackColor();
};

void ControlsButtons::commandButtonClicksRunHandlerOnlyWhenEnabled() {
    QWidget window;
    auto* button = new CommandButton(&window);
    button->setGeometry(10, 10, 80, 30);
    int clicks = 0;
    button->onClick = [&] { ++clicks; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    button->setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
}

void ControlsButtons::commandButtonPressRunsHandlerEvenWhenDisabled() {
    CommandButton button;
    int clicks = 0;
    button.onClick = [&] { ++clicks; };
    button.press();
    button.setEnabled(false);
    button.press();
    QCOMPARE(clicks, 2);
    // press() without a handler is a no-op, not a crash.
    button.onClick = nullptr;
    button.press();
}

void ControlsButtons::commandButtonPaintsItsBackColor_data() {
    QTest::addColumn<QString>("styleName");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("default style") << QString() << true;
    QTest::newRow("Fusion") << QStringLiteral("Fusion") << true;
    QTest::newRow("Fusion, disabled") << QStringLiteral("Fusion") << false;
    QTest::newRow("Windows") << QStringLiteral("Windows") << true;
}

void ControlsButtons::commandButtonPaintsItsBackColor() {
    QFETCH(QString, styleName);
    QFETCH(bool, enabled);
    std::unique_ptr<QStyle> style;
    if (!styleName.isEmpty()) {
        style.reset(QStyleFactory::create(styleName));
        if (!style)
            QSKIP("style not available");
    }
    CommandButton button;
    if (style)
        button.setStyle(style.get());
    button.setCaption(QStringLiteral("(´・ω・`)"));
    button.resize(120, 40);
    button.setEnabled(enabled);

    button.setBackColor(0x0080C0FF); // red FF, green C0, blue 80
    QCOMPARE(button.backColor(), 0x0080C0FFu);
    QImage image = button.grab().toImage();
    QCOMPARE(image.pixelColor(kFacePoint), QColor(0xFF, 0xC0, 0x80));
    QCOMPARE(image.pixelColor(button.width() - 6, button.height() - 6), QColor(0xFF, 0xC0, 0x80));

    button.setBackColor(0x00004000);
    image = button.grab().toImage();
    QCOMPARE(image.pixelColor(kFacePoint), QColor(0x00, 0x40, 0x00));
    // The caption is drawn over the face.
    int captionPixels = 0;
    for (int x = 4; x < image.width() - 4; ++x)
        captionPixels += image.pixelColor(x, image.height() / 2) != QColor(0x00, 0x40, 0x00);
    QVERIFY(captionPixels > 0);
}

void ControlsButtons::keptOutOfFocusButtonLeavesFocusAlone() {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    edit->setGeometry(0, 0, 100, 20);
    auto* button = new CommandButton(&window);
    button->setGeometry(0, 30, 100, 30);
    int clicks = 0;
    button->onClick = [&] { ++clicks; };
    // The palette's way: the line edit stands for the window the user types in.
    keepOutOfFocus(button);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QVERIFY(edit->hasFocus());
    QVERIFY(!button->hasFocus());
}

void ControlsButtons::commandButtonReportsMouseMoves() {
    QWidget window;
    auto* button = new CommandButton(&window);
    button->setGeometry(10, 10, 80, 30);
    int moves = 0;
    button->onMouseMove = [&] { ++moves; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // No button held: Windows reports these too.
    QTest::mouseMove(button, QPoint(5, 5));
    QTest::mouseMove(button, QPoint(20, 10));
    QTRY_VERIFY(moves >= 1);
}

void ControlsButtons::checkBoxFromCode() {
    CheckBox box(QStringLiteral("check"));
    int clicks = 0;
    int valueSeen = -1;
    box.onClick = [&] {
        ++clicks;
        valueSeen = box.value();
    };
    QCOMPARE(box.value(), 0);

    box.setValue(1);
    QCOMPARE(clicks, 1);
    QCOMPARE(valueSeen, 1);
    QCOMPARE(box.checkState(), Qt::Checked);

    box.setValue(1);
    QCOMPARE(clicks, 1);

    box.setValue(2);
    QCOMPARE(clicks, 2);
    QCOMPARE(box.checkState(), Qt::PartiallyChecked);

    box.setValue(0);
    QCOMPARE(clicks, 3);
    QCOMPARE(box.checkState(), Qt::Unchecked);

    // Not a check box value: nothing changes.
    box.setValue(3);
    box.setValue(-1);
    QCOMPARE(clicks, 3);
    QCOMPARE(box.value(), 0);
}

void ControlsButtons::checkBoxUserClicks() {
    QWidget window;
    auto* box = new CheckBox(QStringLiteral("check"), &window);
    box->setGeometry(0, 0, 200, 24);
    int clicks = 0;
    box->onClick = [&] { ++clicks; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(box->value(), 1);
    QCOMPARE(box->checkState(), Qt::Checked);
    QCOMPARE(clicks, 1);

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(box->value(), 0);
    QCOMPARE(box->checkState(), Qt::Unchecked);
    QCOMPARE(clicks, 2);

    // A greyed box is never reached by clicking; a click clears it.
    box->setValue(2);
    QCOMPARE(clicks, 3);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(box->value(), 0);
    QCOMPARE(box->checkState(), Qt::Unchecked);
    QCOMPARE(clicks, 4);

    // Far to the right of the caption is still the control.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(190, 12));
    QCOMPARE(box->value(), 1);
    QCOMPARE(clicks, 5);

    box->setEnabled(false);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(box->value(), 1);
    QCOMPARE(clicks, 5);
}

void ControlsButtons::optionButtonsFromCode() {
    OptionGroup group;
    OptionButton a(QStringLiteral("a"), group);
    OptionButton b(QStringLiteral("b"), group);
    int aClicks = 0;
    int bClicks = 0;
    a.onClick = [&] {
        ++aClicks;
        // The group already reflects the choice when the handler runs.
        QVERIFY(a.value());
        QVERIFY(!b.value());
    };
    b.onClick = [&] { ++bClicks; };
    QCOMPARE(group.chosen(), nullptr);
    QVERIFY(!a.isChecked() && !b.isChecked());

    a.setValue(true);
    QCOMPARE(group.chosen(), &a);
    QVERIFY(a.isChecked() && !b.isChecked());
    QCOMPARE(aClicks, 1);

    a.setValue(true);
    QCOMPARE(aClicks, 2);

    b.setValue(true);
    QCOMPARE(group.chosen(), &b);
    QVERIFY(!a.value() && b.value());
    QVERIFY(!a.isChecked() && b.isChecked());
    QCOMPARE(aClicks, 2);
    QCOMPARE(bClicks, 1);

    // Clearing an unchosen button changes nothing; clearing the chosen one leaves none.
    a.setValue(false);
    QCOMPARE(group.chosen(), &b);
    b.setValue(false);
    QCOMPARE(group.chosen(), nullptr);
    QVERIFY(!a.isChecked() && !b.isChecked());
    QCOMPARE(aClicks, 2);
    QCOMPARE(bClicks, 1);
}

void ControlsButtons::optionButtonUserClicks() {
    QWidget window;
    OptionGroup group;
    auto* a = new OptionButton(QStringLiteral("a"), group, &window);
    auto* b = new OptionButton(QStringLiteral("b"), group, &window);
    a->setGeometry(0, 0, 200, 24);
    b->setGeometry(0, 30, 200, 24);
    int aClicks = 0;
    int bClicks = 0;
    a->onClick = [&] { ++aClicks; };
    b->onClick = [&] { ++bClicks; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(group.chosen(), b);
    QVERIFY(b->isChecked() && !a->isChecked());
    QCOMPARE(bClicks, 1);

    // Clicking the chosen button again runs nothing and keeps it chosen.
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(group.chosen(), b);
    QVERIFY(b->isChecked());
    QCOMPARE(bClicks, 1);

    // Anywhere on the control counts, not only the circle and the caption's text.
    QTest::mouseClick(a, Qt::LeftButton, {}, QPoint(190, 12));
    QCOMPARE(group.chosen(), a);
    QVERIFY(a->isChecked() && !b->isChecked());
    QCOMPARE(aClicks, 1);
    QCOMPARE(bClicks, 1);
}

void ControlsButtons::optionGroupsSharingAParentStayApart() {
    QWidget window;
    OptionGroup first;
    OptionGroup second;
    auto* a1 = new OptionButton(QStringLiteral("a1"), first, &window);
    auto* a2 = new OptionButton(QStringLiteral("a2"), first, &window);
    auto* b1 = new OptionButton(QStringLiteral("b1"), second, &window);
    a1->setGeometry(0, 0, 100, 24);
    a2->setGeometry(0, 30, 100, 24);
    b1->setGeometry(0, 60, 100, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    a1->setValue(true);
    b1->setValue(true);
    QVERIFY(a1->isChecked() && b1->isChecked());
    QTest::mouseClick(a2, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(first.chosen(), a2);
    QCOMPARE(second.chosen(), b1);
    QVERIFY(!a1->isChecked() && a2->isChecked() && b1->isChecked());
}

void ControlsButtons::destroyedOptionButtonLeavesItsGroup() {
    OptionGroup group;
    OptionButton kept(QStringLiteral("kept"), group);
    auto chosen = std::make_unique<OptionButton>(QStringLiteral("chosen"), group);
    chosen->setValue(true);
    chosen.reset();
    QCOMPARE(group.chosen(), nullptr);
    // The group no longer reaches the destroyed button (ASan would catch it).
    kept.setValue(true);
    QCOMPARE(group.chosen(), &kept);
}

void ControlsButtons::groupEndingBeforeItsButtons() {
    // A window keeps its group as a member, which ends before the window's child widgets.
    QWidget window;
    auto group = std::make_unique<OptionGroup>();
    auto* button = new OptionButton(QStringLiteral("a"), *group, &window);
    button->setValue(true);
    group.reset();
    QVERIFY(!button->value());
    button->setValue(false);
}

void ControlsButtons::pictureBoxAndLabelReportLeftClicks() {
    QWidget window;
    auto* picture = new PictureBox(&window);
    picture->setGeometry(0, 0, 40, 40);
    auto* label = new Label(QStringLiteral("<b>(^_^)</b>"), &window);
    label->setGeometry(0, 50, 100, 20);
    int pictureClicks = 0;
    int labelClicks = 0;
    picture->onClick = [&] { ++pictureClicks; };
    label->onClick = [&] { ++labelClicks; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(picture, Qt::LeftButton);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(pictureClicks, 1);
    QCOMPARE(labelClicks, 1);
    QTest::mouseClick(picture, Qt::RightButton);
    QTest::mouseClick(label, Qt::RightButton);
    QCOMPARE(pictureClicks, 1);
    QCOMPARE(labelClicks, 1);
    // Pressed on the box but released outside it: no click.
    QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(60, 10));
    QCOMPARE(pictureClicks, 1);

    // Kaomoji are shown as typed, never as markup.
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void ControlsButtons::pictureBoxPaintsItsBackColor() {
    PictureBox picture;
    picture.resize(20, 20);
    QCOMPARE(picture.grab().toImage().pixelColor(10, 10), QColor(Qt::white));
    picture.setBackColor(0x00123456);
    QCOMPARE(picture.backColor(), 0x00123456u);
    QCOMPARE(picture.grab().toImage().pixelColor(10, 10), QColor(0x56, 0x34, 0x12));
}

void ControlsButtons::commandButtonAmpersandIsNoAccessKey() {
    QWidget window;
    auto* button = new CommandButton(&window);
    button->setGeometry(0, 0, 120, 30);
    button->setCaption(QStringLiteral("(&_&)"));
    int clicks = 0;
    button->onClick = [&] { ++clicks; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(button->caption(), QStringLiteral("(&_&)"));
    QTest::keyClick(&window, Qt::Key_Underscore, Qt::AltModifier);
    QTest::keyClick(&window, Qt::Key_Ampersand, Qt::AltModifier);
    QCOMPARE(clicks, 0);
}

QTEST_MAIN(ControlsButtons)
#include "controls_buttons.moc"
