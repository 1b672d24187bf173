#include "controls/accessibility.h"
#include "controls/controls.h"
#include <QAccessibleWidget>

namespace controls {

namespace {

class ClickableAccessible : public QAccessibleWidget {
public:
    ClickableAccessible(QAbstractButton* button, QAccessible::Role role) : QAccessibleWidget(button, role) {}

    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return button()->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.pressed = button()->isDown();
        // A greyed check box (2) is mixed; Qt's check state follows the value the program reads.
        const auto* checkBox = qobject_cast<const QCheckBox*>(button());
        if (checkBox && checkBox->checkState() == Qt::PartiallyChecked)
            state.checkStateMixed = true;
        else
            state.checked = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == toggleAction() || action == pressAction()) {
            // The click a user makes, with its handler; nothing for a disabled control.
            if (widget()->isEnabled())
                button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* describe(const QString&, QObject* object) {
    if (auto* box = qobject_cast<CheckBox*>(object))
        return new ClickableAccessible(box, QAccessible::CheckBox);
    if (auto* option = qobject_cast<OptionButton*>(object))
        return new ClickableAccessible(option, QAccessible::RadioButton);
    return nullptr;
}

} // namespace

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(describe);
        return true;
    }();
    (void)installed;
}

} // namespace controls
