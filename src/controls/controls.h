#pragma once
// The control behaviour the windows rely on, given to Qt widgets once so that every window
// can follow its handler steps literally:
//  - setting a value from code runs that control's click or change handler at once, exactly
//    as a user action would (a check box or scroll bar only when the value changes, a text box
//    only when the text changes, an option button and a list position every time they are set);
//  - a check box holds 0, 1 or 2 (2 = greyed);
//  - a drop-down list may have no selection (position -1); adding, removing and clearing items
//    never selects anything and runs no handler;
//  - text boxes hold only what cp932 can store and run their change handler on every change;
//  - buttons paint their own background colour on every style, can be pressed from code (even
//    when disabled, as the program's own steps do) and report mouse moves;
//  - the keyboard works as on any desktop dialog: buttons are tab stops pressed with Space or
//    Enter, scroll bars take the arrow keys, and a group of option buttons is one tab stop (its
//    chosen button) whose arrow keys choose the next or previous button.
// Positions and sizes are given in twips relative to the parent's client area.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <cstdint>
#include <functional>
#include <vector>

namespace controls {

// Places a widget at a position and size in twips within its parent.
void placeTwips(QWidget* widget, int left, int top, int width, int height);

// The fonts the windows use: "ＭＳ Ｐゴシック" with the Japanese fonts that stand in for it on
// this desktop named explicitly (no slow fallback search).
QFont pGothicFont(double pointSize, bool italic = false);

class CommandButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CommandButton(QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    std::uint32_t backColor() const { return backColor_; }
    void setBackColor(std::uint32_t bgr);
    // Runs the click handler as a click would, whether or not the button is enabled.
    void press();

    std::function<void()> onClick;
    std::function<void()> onMouseMove;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;

private:
    QString caption_;
    std::uint32_t backColor_ = 0xC0C0C0;
};

// A button showing its caption at its place, as the windows make most of their buttons.
CommandButton* captionedButton(QWidget* parent, const QString& caption, int left, int top, int width,
                               int height);

class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckBox(const QString& caption, QWidget* parent = nullptr);
    int value() const { return value_; }
    // 0, 1 or 2; runs the click handler when the value changes.
    void setValue(int value);
    std::function<void()> onClick;

protected:
    void nextCheckState() override;
    bool hitButton(const QPoint& pos) const override;

private:
    int value_ = 0;
};

class OptionButton;

// Option buttons that exclude each other. A group may have no chosen button until one is set.
// The group may end before its buttons (a window's member group goes before the window's child
// widgets); the buttons then belong to no group.
class OptionGroup {
public:
    OptionGroup() = default;
    OptionGroup(const OptionGroup&) = delete;
    OptionGroup& operator=(const OptionGroup&) = delete;
    ~OptionGroup();
    OptionButton* chosen() const { return chosen_; }

private:
    friend class OptionButton;
    // Only the chosen button (the first while none is chosen) is reached with Tab.
    void updateTabStop();
    // The member after (step 1) or before (step -1) the given one that can take the focus,
    // going round the group; nullptr when there is none.
    OptionButton* neighbour(const OptionButton* from, int step) const;
    OptionButton* chosen_ = nullptr;
    std::vector<OptionButton*> members_;
};

class OptionButton : public QRadioButton {
    Q_OBJECT
public:
    OptionButton(const QString& caption, OptionGroup& group, QWidget* parent = nullptr);
    ~OptionButton() override;
    bool value() const { return group_ && group_->chosen_ == this; }
    // Setting true chooses this button, clears the others and runs the click handler (every
    // time). Setting false only clears it.
    void setValue(bool value);
    std::function<void()> onClick;

protected:
    void nextCheckState() override;
    bool hitButton(const QPoint& pos) const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class OptionGroup;
    OptionGroup* group_;
};

class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent = nullptr);
    int listIndex() const { return index_; }
    // Selects the item (-1: none) and runs the click handler, even when the index is unchanged.
    // An index outside the list is ignored (nothing changes, no handler).
    void setListIndex(int index);
    int listCount() const { return count(); }
    QString itemText(int index) const { return QComboBox::itemText(index); }
    // These never select anything and run no handler. Removing the selected item leaves no
    // selection; removing an item before it keeps the same item selected.
    void addListItem(const QString& text);
    void removeListItem(int index);
    void clearList();
    std::function<void()> onClick;

private:
    void syncView();
    int index_ = -1;
};

// Keeps text to what cp932 can store: a character the code page lacks shows as it will be saved.
QString cp932Representable(const QString& text);

// A single-line text box. text() keeps every character it was given, CR and LF included.
// Its accessible name (QWidget::setAccessibleName) is what screen readers say for the line edit.
// The line edit that shows and edits the text is made when the box is first shown (or asked
// for): a line edit lays out its text as soon as it exists, which loads Qt's font database,
// and the hidden dialogs hold dozens of boxes that are only ever read and written from code.
// The user can put at most kUserTextLimit characters into a box: a paste or drop that would
// go past it is refused whole with a beep. A longer text set from code is kept whole; the
// line edit then shows its beginning only and takes no edits until a shorter text is set.
class TextBox : public QWidget {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);
    QString text() const { return text_; }
    // Runs the change handler when the text changes (nothing happens for the same text). The
    // caret stays where it was as far as the new text reaches, as it does in MultiLineTextBox.
    void setText(const QString& text);
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    // The line edit, made now if it does not exist yet; it takes the box's place in the tab
    // order and its focus.
    QLineEdit* editor();
    std::function<void()> onChange;
    // Qt's line edit lays out and paints its whole text on every change, seconds for a few
    // megabytes; a kaomoji is a line. As much as a Windows text box takes by default.
    static constexpr int kUserTextLimit = 32767;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Editor;
    void userEdited();
    void showText();
    QString text_;
    bool readOnly_ = false;
    QLineEdit* editor_ = nullptr;
};

// A multi-line text box whose text() uses CR LF between lines. A text set from code comes
// back exactly as set (lone CR or LF included) until the user edits it. Pasting or dropping
// something that carries no text never crashes it. Like TextBox, it makes its editing widget
// only when it is first shown or asked for.
class MultiLineTextBox : public QWidget {
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget* parent = nullptr);
    ~MultiLineTextBox() override;
    QString text() const { return text_; }
    void setText(const QString& text);
    void setLineWrapMode(QPlainTextEdit::LineWrapMode mode);
    // The editing widget, made now if it does not exist yet.
    QPlainTextEdit* editor();
    std::function<void()> onChange;
    // Set it and local files dropped on the box (or pasted as files) go to it instead of
    // being inserted as their names.
    std::function<void(const QStringList& paths)> onFilesDropped;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Editor;
    void userEdited();
    QString text_;
    bool settingText_ = false;
    QPlainTextEdit::LineWrapMode wrapMode_ = QPlainTextEdit::WidgetWidth;
    Editor* editor_ = nullptr;
};

// A scroll bar with the range 0..32767 and steps of 1 (arrow click and page click alike).
class ScrollBar : public QScrollBar {
    Q_OBJECT
public:
    ScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);
    // Runs the change handler when the value changes; values are clamped to the range.
    void setScrollValue(int value);
    std::function<void()> onChange;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// A tab strip showing only its tab headers.
class TabStrip : public QTabBar {
    Q_OBJECT
public:
    explicit TabStrip(QWidget* parent = nullptr);
    int tab() const { return currentIndex(); }
    // Selects the tab and runs the click handler when it changes.
    void setTab(int tab);
    void setBackColor(std::uint32_t bgr);
    std::function<void()> onClick;

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;

private:
    int shownTab_ = -1;
};

// A coloured box (the colour swatches, hidden picture stores); reports clicks.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    std::uint32_t backColor() const { return backColor_; }
    void setBackColor(std::uint32_t bgr);
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::uint32_t backColor_ = 0xFFFFFF;
};

// A titled frame. The title is measured only when the frame is first shown: measuring text is
// what makes Qt load its font database, which a window that stays hidden never needs.
class Frame : public QGroupBox {
    Q_OBJECT
public:
    Frame(const QString& caption, QWidget* parent = nullptr);
    QString caption() const { return caption_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString caption_;
};

class Label : public QLabel {
    Q_OBJECT
public:
    Label(const QString& caption, QWidget* parent = nullptr);
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace controls
